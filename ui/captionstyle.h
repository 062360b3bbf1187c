#pragma once

class QStyle;

namespace korvo::ui {

// The style of every frame: the caption sits on the frame's top line, as the windows were drawn,
// and the rest is the desktop's own style. One instance, owned by the application.
QStyle* frameCaptionStyle();

} // namespace korvo::ui
