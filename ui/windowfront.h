#pragma once

class QWidget;

namespace korvo::ui {

// Shows a top-level window and brings it to the front, restoring it first when the user had
// minimised it: a window asked for again must be seen, not left as an icon on the task bar.
void bringToFront(QWidget* window);

} // namespace korvo::ui
