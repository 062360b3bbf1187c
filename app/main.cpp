#include "app/commandline.h"
#include "app/console.h"
#include "app/displayhint.h"
#include "app/startup.h"
#include "ui/quitsignals.h"
#include "ui/windowsystemcheck.h"

#include <QApplication>
#include <optional>

int main(int argc, char* argv[])
{
    // Read before QApplication exists: the help, the version and --tempo print without a window and
    // need no display.
    const korvo::CommandLine commandLine(korvo::utf8Arguments(argc, argv));
    if (!commandLine.opensWindow()) {
        const korvo::ConsoleStreams console = korvo::useStartingConsole();
        return commandLine.run(console.out, console.err);
    }
    if (korvo::reportMissingDisplay(argv[0]))
        return 1;

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
    if (!commandLine.file().isEmpty())
        window->readSampleAtStart(commandLine.file());
    return QApplication::exec();
}
