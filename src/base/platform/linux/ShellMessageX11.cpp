#include "platform/ShellMessage.h"

#include <QGuiApplication>

#include <cstring>
#include <xcb/xcb.h>

namespace {

constexpr char kMessageAtomName[] = "_VELMAR_SHELL_MESSAGE";

xcb_connection_t* X11Connection()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t MessageAtom(xcb_connection_t* connection)
{
    static xcb_atom_t atom = XCB_ATOM_NONE;
    if (atom != XCB_ATOM_NONE)
        return atom;
    const auto cookie = xcb_intern_atom(connection, 0, sizeof(kMessageAtomName) - 1, kMessageAtomName);
    if (xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr)) {
        atom = reply->atom;
        std::free(reply);
    }
    return atom;
}

} // namespace

namespace ShellMessage {

void Post(qint64 windowHandle, int message)
{
    xcb_connection_t* connection = X11Connection();
    if (!connection || windowHandle <= 0 || windowHandle > 0xFFFFFFFFLL)
        return;
    const xcb_atom_t atom = MessageAtom(connection);
    if (atom == XCB_ATOM_NONE)
        return;
    xcb_client_message_event_t event;
    std::memset(&event, 0, sizeof(event));
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = static_cast<xcb_window_t>(windowHandle);
    event.type = atom;
    event.data.data32[0] = static_cast<uint32_t>(message);
    // A window that no longer exists gives an X error that nobody waits for;
    // the post is fire-and-forget like its Windows counterpart.
    xcb_send_event(connection, 0, event.window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
    xcb_flush(connection);
}

} // namespace ShellMessage

TShellMessageFilter::TShellMessageFilter(THandler handler)
    : FHandler(std::move(handler))
{
}

bool TShellMessageFilter::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t" || !message)
        return false;
    auto* generic = static_cast<xcb_generic_event_t*>(message);
    if ((generic->response_type & 0x7F) != XCB_CLIENT_MESSAGE)
        return false;
    auto* event = reinterpret_cast<xcb_client_message_event_t*>(generic);
    xcb_connection_t* connection = X11Connection();
    if (!connection || event->format != 32 || event->type != MessageAtom(connection))
        return false;
    if (FHandler)
        FHandler(event->window, static_cast<int>(event->data.data32[0]));
    return true;
}
