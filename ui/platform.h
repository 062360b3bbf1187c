#pragma once

#include <QMargins>
#include <QSize>
#include <QString>

class QWidget;

namespace korvo {

// A modal message: the icon, the title, the text and which buttons it offers.
struct Message
{
    enum class Icon
    {
        Information,
        Exclamation,
        Critical
    };
    enum class Buttons
    {
        Ok,
        OkCancel
    }; // with OK and Cancel, Cancel is the default and Escape

    Icon icon = Icon::Information;
    Buttons buttons = Buttons::Ok;
    QString title;
    QString text;
};

// The screen taken where none can be asked: by the real platform without a screen, and by the fake
// one that tests and the screenshots run on.
inline constexpr QSize kDefaultScreenSize{1280, 1024};

// Everything that blocks, leaves the process or depends on the machine goes through here, so the
// windows can be driven headless: tests install a fake that answers and records.
class Platform
{
public:
    virtual ~Platform() = default;

    virtual void beep() = 0;
    // Shows a modal message box and waits; true when it was answered with OK.
    virtual bool show(QWidget* parent, const Message& message) = 0;
    // The primary screen's size in device-independent pixels.
    virtual QSize screenSize() = 0;
    // The frame the window manager will draw around a top-level window that is not shown yet, in
    // device-independent pixels; none where the desktop cannot tell before the window is shown.
    // May create the window's native handle and wait a moment for the answer.
    virtual QMargins frameMargins(QWidget& window) = 0;
    // Seconds on a monotonic clock; only differences mean anything.
    virtual double seconds() = 0;
    virtual void setClipboardText(const QString& text) = 0;
    // Asks for one file to open and waits; empty when the question was cancelled. The filter is a
    // file dialog's, such as "音声ファイル (*.wav *.aiff)".
    virtual QString openFileName(QWidget* parent, const QString& title, const QString& filter) = 0;
    // Asks where to save a file, starting from `proposed` (a path), and waits; empty when the
    // question was cancelled. It asks nothing of a file that is there already: the caller does.
    virtual QString saveFileName(QWidget* parent, const QString& title, const QString& proposed,
                                 const QString& filter) = 0;
    // Ends the program with this exit status once control returns to the event loop.
    virtual void quit(int status) = 0;

    // The platform in use: the real one unless a test installed another.
    static Platform& current();
    // Installs a replacement (not owned) or, with nullptr, returns to the real one.
    static void install(Platform* platform);
};

// Stands in for the platform in use while it lives, passing everything on to it; a subclass
// replaces only what it changes. The platform from before is back in place when this ends.
class PlatformOverride : public Platform
{
public:
    PlatformOverride();
    ~PlatformOverride() override;
    PlatformOverride(const PlatformOverride&) = delete;
    PlatformOverride& operator=(const PlatformOverride&) = delete;

    void beep() override { m_before.beep(); }
    bool show(QWidget* parent, const Message& message) override { return m_before.show(parent, message); }
    QSize screenSize() override { return m_before.screenSize(); }
    QMargins frameMargins(QWidget& window) override { return m_before.frameMargins(window); }
    double seconds() override { return m_before.seconds(); }
    void setClipboardText(const QString& text) override { m_before.setClipboardText(text); }
    QString openFileName(QWidget* parent, const QString& title, const QString& filter) override
    {
        return m_before.openFileName(parent, title, filter);
    }
    QString saveFileName(QWidget* parent, const QString& title, const QString& proposed,
                         const QString& filter) override
    {
        return m_before.saveFileName(parent, title, proposed, filter);
    }
    void quit(int status) override { m_before.quit(status); }

private:
    Platform& m_before;
};

// While it lives, nobody is taken to be at the screen, as when the system asks the program to end:
// every question counts as answered with OK, a message goes to standard error instead of into a
// box that would wait for ever, and there is no beep.
class Unattended final : public PlatformOverride
{
public:
    void beep() override {}
    bool show(QWidget* parent, const Message& message) override;
};

} // namespace korvo
