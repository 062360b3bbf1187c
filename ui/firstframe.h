#pragma once

class QWidget;

namespace korvo::ui {

// Benchmarking hook: when the environment sets KORVO_EXIT_AFTER_FIRST_FRAME=1, the event loop is
// left right after the window's first frame has been painted. The loop is left with exit(), not
// quit(), which would first close the windows, run the shutdown path and save the settings.
// Does nothing otherwise. Call it after showing the window.
void exitAfterFirstFrameIfAsked(QWidget& window);

} // namespace korvo::ui
