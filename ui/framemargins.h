#pragma once

#include <QMargins>

class QWidget;

namespace korvo::ui {

// The frame the window manager will draw around a top-level window that is not shown yet, in
// device-independent pixels; none where the system cannot tell before the window is shown. Each
// system has its own file: on X11 the window manager is asked, elsewhere the answer is none.
QMargins windowManagerFrameMargins(QWidget& window);

} // namespace korvo::ui
