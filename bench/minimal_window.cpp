// The yardstick for Korvo's start-up: the least a Qt Widgets program with one Japanese text in
// Korvo's font can do. bench/startup_compare runs both and compares time to first frame and
// peak memory.
#include "ui/layout.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QMainWindow>
#include <QTimer>
#include <QWindow>

namespace {

// Same exit as Korvo's benchmarking hook: leave the loop once the first expose has painted.
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
        if (event->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed())
            leaveLoopSoon();
        return false;
    }
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    korvo::ui::setupApplication();

    QMainWindow window;
    auto* label = new QLabel(QStringLiteral("ピッチ調整"), &window);
    label->setFont(korvo::ui::font(12, true));
    window.setCentralWidget(label);
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
