#pragma once

#include <QMargins>
#include <QSize>

class QWidget;

namespace korvo::ui {

// A window's place on the screen as a share of the free room: the free width (or height) divided
// by `divisor`, then times `times`. Kept in this order, in single precision, as the windows were
// always placed.
struct ScreenShare
{
    float divisor = 1;
    float times = 1;
};

// Places a top-level window that is not shown yet: the whole window, with the frame the window
// manager gives it (`frame`, none where that is not known), lies `across` of the screen's free
// width from the left and `down` of its free height from the top. The window keeps its size.
void placeOnScreen(QWidget& window, QSize screen, QMargins frame, ScreenShare across, ScreenShare down);

} // namespace korvo::ui
