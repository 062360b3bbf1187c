#include "ui/framemargins.h"

namespace korvo::ui {

// Only an X11 window manager can be asked beforehand; Windows (and the rest) place a window by its
// outer frame themselves.
QMargins windowManagerFrameMargins(QWidget&)
{
    return {};
}

} // namespace korvo::ui
