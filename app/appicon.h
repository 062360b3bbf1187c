#pragma once

#include <QIcon>

namespace korvo {

// The sizes a window icon needs: title bars, task bars and window switchers. Launchers and
// software centres take the larger ones from the installed icon theme instead.
inline constexpr int kWindowIconSizes[] = {16, 32, 48, 64};

// Korvo's own icon with every window size in one QIcon, so title bars and task bars each get a
// drawn size instead of a scaled one. Decoding the two large renderings as well would cost start-up
// a few milliseconds for pictures no window shows. Needs a QGuiApplication. Give it to
// QApplication::setWindowIcon() once at start-up; windows without an icon of their own use it.
QIcon appIcon();

} // namespace korvo
