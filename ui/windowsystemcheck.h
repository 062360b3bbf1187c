#pragma once

// While it lives, a failure to reach the window system (no display to connect to, no platform
// plugin for it, as on a Wayland desktop without Qt's Wayland plugin) ends the program with one
// plain line on standard error and exit status 1, instead of Qt's abort with its long plugin
// message. Made before the application object, ended once that exists; Qt's own messages from in
// between are passed on then.
namespace korvo::ui {

class WindowSystemCheck
{
public:
    WindowSystemCheck();
    ~WindowSystemCheck();
    WindowSystemCheck(const WindowSystemCheck&) = delete;
    WindowSystemCheck& operator=(const WindowSystemCheck&) = delete;
};

} // namespace korvo::ui
