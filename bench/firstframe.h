#pragma once

class QWidget;

namespace korvo::bench {

// Leaves the event loop right after the window's first frame: once the window has painted itself
// and the picture has gone to the screen, which is what a user waits for. Leaves with exit(), not
// quit(), which would first close the windows, run the shutdown path and save the settings.
// Call it before showing the window, so the first paint cannot be missed. Without a frame within
// 20 seconds the program leaves with status 3.
void leaveAfterFirstFrame(QWidget& window);

} // namespace korvo::bench
