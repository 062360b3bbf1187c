#include "app/startup.h"

#include "app/appicon.h"
#include "ui/applicationsetup.h"

#include <QApplication>

namespace korvo {

std::unique_ptr<MainWindow> startProgram()
{
    QApplication::setApplicationName("korvo");
    QApplication::setApplicationVersion("1.7J");
    // Windows are closed by the one shutdown path, which ends the program itself.
    QApplication::setQuitOnLastWindowClosed(false);
    QGuiApplication::setDesktopFileName("io.github.korvo.Korvo");
    QApplication::setWindowIcon(appIcon());
    ui::setupApplication();
    return std::make_unique<MainWindow>();
}

} // namespace korvo
