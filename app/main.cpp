#include "app/mainwindow.h"
#include "packaging/appicon.h"
#include "ui/firstframe.h"
#include "ui/layout.h"
#include "ui/quitsignals.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[])
{
    // Without a display Qt would abort with a long plugin message; one plain line helps more.
    const bool noDisplay =
        !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM");
    if (noDisplay) {
        std::fprintf(stderr, "korvo: no display found; to run without a screen use: xvfb-run -a %s\n",
                     argv[0]);
        return 1;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName("korvo");
    QApplication::setApplicationVersion("1.7J");
    // Windows are closed by the one shutdown path, which ends the program itself.
    QApplication::setQuitOnLastWindowClosed(false);
    QGuiApplication::setDesktopFileName("io.github.korvo.Korvo");
    QApplication::setWindowIcon(korvo::appIcon());
    korvo::ui::setupApplication();

    // Caught from here on; handled once the window can take its normal closing path.
    korvo::ui::QuitSignals quitSignals;
    korvo::MainWindow window;
    QObject::connect(&quitSignals, &korvo::ui::QuitSignals::quitRequested, &window,
                     &korvo::MainWindow::terminateUnattended);
    quitSignals.start();
    window.show();
    korvo::ui::exitAfterFirstFrameIfAsked(window);
    return QApplication::exec();
}
