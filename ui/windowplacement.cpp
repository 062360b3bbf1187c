#include "ui/windowplacement.h"

#include <QRect>
#include <QWidget>

namespace korvo::ui {

void placeOnScreen(QWidget& window, QSize screen, QMargins frame, ScreenShare across, ScreenShare down)
{
    const QSize outer = window.size().grownBy(frame);
    const float left = static_cast<float>(screen.width() - outer.width()) / across.divisor * across.times;
    const float top = static_cast<float>(screen.height() - outer.height()) / down.divisor * down.times;
    // The client area goes inside the frame's top-left corner; placing the client rather than the
    // frame means the same whether or not the native window exists yet.
    const QPoint corner(qRound(left) + frame.left(), qRound(top) + frame.top());
    window.setGeometry(QRect(corner, window.size()));
}

} // namespace korvo::ui
