#pragma once

#include <QIcon>

namespace korvo {

// The sizes at which the icon was drawn, smallest first; each is a square PNG in the resources.
inline constexpr int kAppIconSizes[] = {16, 32, 48, 64, 128, 256};

// Korvo's own icon with every size in one QIcon, so title bars, task bars and the About box each
// get a drawn size instead of a scaled one. Needs a QGuiApplication. Give it to
// QApplication::setWindowIcon() once at start-up; windows without an icon of their own use it.
QIcon appIcon();

} // namespace korvo
