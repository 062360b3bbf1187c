#include "app/startup.h"

#include "app/appicon.h"
#include "app/version.h"
#include "ui/applicationsetup.h"

#include <QApplication>

namespace korvo {

std::unique_ptr<MainWindow> startProgram()
{
    QApplication::setApplicationName("korvo");
    QApplication::setApplicationVersion(build::kVersionText);
    // Windows are closed by the one shutdown path, which ends the program itself.
    QApplication::setQuitOnLastWindowClosed(false);
    QGuiApplication::setDesktopFileName(build::kApplicationId);
    QApplication::setWindowIcon(appIcon());
    ui::setupApplication();
    return std::make_unique<MainWindow>();
}

} // namespace korvo
