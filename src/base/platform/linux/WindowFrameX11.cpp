#include "platform/WindowFrame.h"

#include <QGuiApplication>

#include <cstdlib>
#include <memory>
#include <xcb/xcb.h>

namespace {

xcb_connection_t* X11Connection()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

struct TFreeReply
{
    void operator()(void* reply) const { std::free(reply); }
};

template <typename T>
using TReply = std::unique_ptr<T, TFreeReply>;

xcb_atom_t Atom(xcb_connection_t* connection, const char* name, std::size_t length)
{
    const TReply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(length), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

xcb_atom_t FrameExtentsAtom(xcb_connection_t* connection)
{
    static constexpr char kName[] = "_NET_FRAME_EXTENTS";
    static const xcb_atom_t atom = Atom(connection, kName, sizeof(kName) - 1);
    return atom;
}

} // namespace

namespace WindowFrame {

bool IsAnnounced()
{
    xcb_connection_t* connection = X11Connection();
    if (!connection)
        return false;
    static constexpr char kSupported[] = "_NET_SUPPORTED";
    const xcb_atom_t supported = Atom(connection, kSupported, sizeof(kSupported) - 1);
    const xcb_atom_t extents = FrameExtentsAtom(connection);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (!screen || supported == XCB_ATOM_NONE || extents == XCB_ATOM_NONE)
        return false;
    const TReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, screen->root, supported, XCB_ATOM_ATOM, 0, 4096), nullptr));
    if (!reply || reply->type != XCB_ATOM_ATOM || reply->format != 32)
        return false;
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
    const int count = xcb_get_property_value_length(reply.get()) / static_cast<int>(sizeof(xcb_atom_t));
    for (int i = 0; i < count; ++i)
        if (atoms[i] == extents)
            return true;
    return false;
}

std::optional<QMargins> Extents(qint64 windowHandle)
{
    xcb_connection_t* connection = X11Connection();
    if (!connection || windowHandle <= 0 || windowHandle > 0xFFFFFFFFLL)
        return std::nullopt;
    const xcb_atom_t atom = FrameExtentsAtom(connection);
    if (atom == XCB_ATOM_NONE)
        return std::nullopt;
    const TReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection,
        xcb_get_property(connection, 0, static_cast<xcb_window_t>(windowHandle), atom, XCB_ATOM_CARDINAL, 0, 4),
        nullptr));
    if (!reply || reply->type != XCB_ATOM_CARDINAL || reply->format != 32
        || xcb_get_property_value_length(reply.get()) != 4 * 4)
        return std::nullopt;
    // Left, right, top, bottom.
    const auto* value = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
    for (int i = 0; i < 4; ++i)
        if (value[i] > 10000)
            return std::nullopt;
    return QMargins(static_cast<int>(value[0]), static_cast<int>(value[2]), static_cast<int>(value[1]),
                    static_cast<int>(value[3]));
}

} // namespace WindowFrame

TWindowFrameFilter::TWindowFrameFilter(THandler handler)
    : FHandler(std::move(handler))
{
}

bool TWindowFrameFilter::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t" || !message || !FHandler)
        return false;
    const auto* generic = static_cast<const xcb_generic_event_t*>(message);
    if ((generic->response_type & 0x7F) != XCB_PROPERTY_NOTIFY)
        return false;
    const auto* event = reinterpret_cast<const xcb_property_notify_event_t*>(generic);
    xcb_connection_t* connection = X11Connection();
    if (connection && event->atom == FrameExtentsAtom(connection))
        FHandler(event->window);
    return false;
}
