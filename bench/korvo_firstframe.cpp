// Korvo as a user starts it, leaving right after the main window's first frame: what
// bench/startup_compare measures. The program itself has no such exit; this one shares its whole
// start-up, the reading of its command line included, and only adds the exit.
#include "app/commandline.h"
#include "app/console.h"
#include "app/startup.h"
#include "bench/firstframe.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    const korvo::CommandLine commandLine(korvo::utf8Arguments(argc, argv));
    QApplication app(argc, argv);
    const std::unique_ptr<korvo::MainWindow> window = korvo::startProgram();
    korvo::bench::leaveAfterFirstFrame(*window);
    window->show();
    return QApplication::exec();
}
