#include "ui/slider.h"

#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <QWheelEvent>
#include <cstdlib>

namespace korvo::ui {

Slider::Slider(QWidget* parent) : QScrollBar(Qt::Horizontal, parent)
{
    // Qt's scroll bars invert their keys by default (Left would raise the value). Here an arrow
    // key moves the value the way it points, as a click on that side of the track does, and
    // Home/End go to the ends. The wheel turns around with the keys, so wheel-up raises the value.
    setInvertedControls(false);
    setFocusPolicy(Qt::StrongFocus);
}

void Slider::wheelEvent(QWheelEvent* event)
{
    const QPoint angle = event->angleDelta();
    if (std::abs(angle.x()) <= std::abs(angle.y())) {
        QScrollBar::wheelEvent(event);
        return;
    }
    // Sideways (a touchpad's swipe, a tilted wheel: buttons 6 and 7). Qt counts a step to the left
    // as positive, which with the keys the right way round would raise the value; turned over, a
    // swipe to the left lowers it, as the Left key does.
    QWheelEvent turned(event->position(), event->globalPosition(), -event->pixelDelta(), -angle,
                       event->buttons(), event->modifiers(), event->phase(), event->inverted(),
                       event->source());
    QScrollBar::wheelEvent(&turned);
    event->setAccepted(turned.isAccepted());
}

void Slider::paintEvent(QPaintEvent* event)
{
    QScrollBar::paintEvent(event);
    if (!hasFocus())
        return;
    QStylePainter painter(this);
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.backgroundColor = palette().color(QPalette::Window);
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
}

} // namespace korvo::ui
