#include "ui/platform.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QWidget>
#include <cstdio>

#if QT_CONFIG(xcb)
#include <QtGui/qguiapplication_platform.h>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>
#endif

namespace korvo {
namespace {

#if QT_CONFIG(xcb)
xcb_atom_t internAtom(xcb_connection_t* connection, const char* name)
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

// A window property of 32-bit values, empty when the window does not have it.
QList<std::uint32_t> cardinals(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property,
                               xcb_atom_t type)
{
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, property, type, 0, 1024), nullptr);
    QList<std::uint32_t> values;
    if (reply && reply->format == 32) {
        const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
        values = QList<std::uint32_t>(data, data + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    return values;
}

// Asks an X11 window manager for the frame it will give the window, before the window is mapped
// (the desktop standard's frame extents request); a window manager that lists the request among
// those it supports answers within milliseconds.
QMargins x11FrameMargins(QWidget& window)
{
    // Only on X11: other platforms (offscreen, Wayland) may still answer the interface, without a
    // connection behind it.
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return {};
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return {};
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const xcb_atom_t request = internAtom(connection, "_NET_REQUEST_FRAME_EXTENTS");
    const xcb_atom_t extents = internAtom(connection, "_NET_FRAME_EXTENTS");
    if (!cardinals(connection, root, internAtom(connection, "_NET_SUPPORTED"), XCB_ATOM_ATOM)
             .contains(request))
        return {};

    const auto id = static_cast<xcb_window_t>(window.winId()); // created now, not mapped
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = id;
    message.type = request;
    xcb_send_event(connection, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(connection);

    // The answer is a property on the window; a window manager that is slow to set it costs at
    // most a fifth of a second of start-up, after which the window is placed without it.
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 200) {
        const QList<std::uint32_t> v = cardinals(connection, id, extents, XCB_ATOM_CARDINAL);
        if (v.size() == 4) {
            const qreal ratio = window.devicePixelRatioF();
            return QMargins(qRound(v[0] / ratio), qRound(v[2] / ratio), qRound(v[1] / ratio),
                            qRound(v[3] / ratio)); // the property holds left, right, top, bottom
        }
        QThread::msleep(2);
    }
    return {};
}
#endif

class SystemPlatform final : public Platform
{
public:
    SystemPlatform() { m_clock.start(); }

    void beep() override { QApplication::beep(); }

    bool show(QWidget* parent, const Message& message) override
    {
        QMessageBox box(parent);
        box.setWindowTitle(message.title);
        box.setText(message.text);
        switch (message.icon) {
        case Message::Icon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case Message::Icon::Exclamation:
            box.setIcon(QMessageBox::Warning);
            break;
        case Message::Icon::Critical:
            box.setIcon(QMessageBox::Critical);
            break;
        }
        if (message.buttons == Message::Buttons::OkCancel) {
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            box.setDefaultButton(QMessageBox::Cancel);
            box.setEscapeButton(QMessageBox::Cancel);
        } else {
            box.setStandardButtons(QMessageBox::Ok);
            box.setDefaultButton(QMessageBox::Ok);
            box.setEscapeButton(QMessageBox::Ok);
        }
        return box.exec() == QMessageBox::Ok;
    }

    QSize screenSize() override
    {
        const QScreen* screen = QGuiApplication::primaryScreen();
        return screen ? screen->size() : QSize(1280, 1024);
    }

    QMargins frameMargins([[maybe_unused]] QWidget& window) override
    {
#if QT_CONFIG(xcb)
        return x11FrameMargins(window);
#else
        return {};
#endif
    }

    double seconds() override
    {
        return static_cast<double>(m_clock.nsecsElapsed()) / 1e9;
    }

    void setClipboardText(const QString& text) override
    {
        QGuiApplication::clipboard()->setText(text);
    }

    QString openFileName(QWidget* parent, const QString& title, const QString& filter) override
    {
        return QFileDialog::getOpenFileName(parent, title, QString(), filter);
    }

    void quit(int status) override
    {
        QCoreApplication::exit(status);
    }

private:
    QElapsedTimer m_clock;
};

Platform* g_installed = nullptr;

} // namespace

Platform& Platform::current()
{
    if (g_installed)
        return *g_installed;
    static SystemPlatform system;
    return system;
}

void Platform::install(Platform* platform)
{
    g_installed = platform;
}

PlatformOverride::PlatformOverride() : m_before(Platform::current())
{
    install(this);
}

PlatformOverride::~PlatformOverride()
{
    install(&m_before);
}

bool Unattended::show(QWidget*, const Message& message)
{
    QString text = message.text;
    text.replace('\n', ' ');
    if (message.buttons == Message::Buttons::OkCancel)
        text += " -> OK";
    std::fprintf(stderr, "korvo: %s: %s\n", message.title.toUtf8().constData(), text.toUtf8().constData());
    return true;
}

} // namespace korvo
