#include "bench/firstframe.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace korvo::bench {
namespace {

class LeaveAfterFirstPaint final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // The window's own paint comes first in a repaint; its children and the flush of the whole
        // picture to the screen follow in the same pass, before the event loop runs the timer.
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            QTimer::singleShot(0, QCoreApplication::instance(), [] { QCoreApplication::exit(0); });
        }
        return false;
    }
};

} // namespace

void leaveAfterFirstFrame(QWidget& window)
{
    window.installEventFilter(new LeaveAfterFirstPaint(&window));
    // A window that never paints would hang the benchmark; it fails instead.
    QTimer::singleShot(20000, QCoreApplication::instance(), [] { QCoreApplication::exit(3); });
}

} // namespace korvo::bench
