#include "ui/firstframe.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace korvo::ui {
namespace {

void leaveLoopSoon()
{
    QTimer::singleShot(0, QCoreApplication::instance(), [] { QCoreApplication::exit(0); });
}

class LeaveAfterFirstExpose final : public QObject
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

void exitAfterFirstFrameIfAsked(QWidget& window)
{
    if (qEnvironmentVariableIntValue("KORVO_EXIT_AFTER_FIRST_FRAME") != 1)
        return;
    QWindow* handle = window.windowHandle();
    if (handle->isExposed())
        leaveLoopSoon();
    else
        handle->installEventFilter(new LeaveAfterFirstExpose(&window));
}

} // namespace korvo::ui
