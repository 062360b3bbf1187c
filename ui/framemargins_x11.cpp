#include "ui/framemargins.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QList>
#include <QThread>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace korvo::ui {
namespace {

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
} // namespace

QMargins windowManagerFrameMargins(QWidget& window)
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

} // namespace korvo::ui
