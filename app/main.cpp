#include "app/startup.h"
#include "ui/quitsignals.h"
#include "ui/windowsystemcheck.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <optional>

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

    // While the application is made: a display Qt cannot reach (Wayland without Qt's Wayland plugin)
    // ends the program with one line and status 1 instead of an abort.
    std::optional<korvo::ui::WindowSystemCheck> windowSystemCheck(std::in_place);
    QApplication app(argc, argv);
    windowSystemCheck.reset();
    // Caught from here on; handled once the window can take its normal closing path.
    korvo::ui::QuitSignals quitSignals;
    const std::unique_ptr<korvo::MainWindow> window = korvo::startProgram();
    QObject::connect(&quitSignals, &korvo::ui::QuitSignals::quitRequested, window.get(),
                     &korvo::MainWindow::terminateUnattended);
    quitSignals.start();
    window->show();
    return QApplication::exec();
}
