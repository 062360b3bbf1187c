#include "app/mainwindow.h"
#include "packaging/appicon.h"
#include "ui/layout.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <cstdlib>

namespace {

// Benchmarking hook for bench/startup_compare: leaves the event loop once the window has been
// exposed, and so painted, for the first time. QCoreApplication::quit() would first try to close
// the windows, which runs Terminate and saves; exit() leaves the loop and nothing is written.
void leaveLoopSoon()
{
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
}

class QuitAfterFirstFrame final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // The filter sees the expose before the window paints in it; the zero timer fires after.
        if (event->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed())
            leaveLoopSoon();
        return false;
    }
};

} // namespace

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

    korvo::MainWindow window;
    window.show();
    if (qEnvironmentVariableIntValue("KORVO_EXIT_AFTER_FIRST_FRAME") == 1) {
        QWindow* handle = window.windowHandle();
        if (handle->isExposed())
            leaveLoopSoon();
        else
            handle->installEventFilter(new QuitAfterFirstFrame(&window));
    }
    return QApplication::exec();
}
