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

std::optional<TReceived> ReadClientMessage(const void* event, std::size_t size, quint32 messageAtom,
                                           int acceptedMessage)
{
    xcb_client_message_event_t message;
    if (!event || size < sizeof(message) || messageAtom == XCB_ATOM_NONE)
        return std::nullopt;
    std::memcpy(&message, event, sizeof(message));
    // Only what another client sends (the "sent" bit of the type) and in the
    // exact form Post gives it.
    if (message.response_type != (XCB_CLIENT_MESSAGE | 0x80) || message.format != 32 || message.type != messageAtom
        || message.window == XCB_WINDOW_NONE)
        return std::nullopt;
    if (static_cast<int>(message.data.data32[0]) != acceptedMessage)
        return std::nullopt;
    for (int i = 1; i < 5; ++i)
        if (message.data.data32[i] != 0)
            return std::nullopt;
    return TReceived{static_cast<qint64>(message.window), acceptedMessage};
}

} // namespace ShellMessage

TShellMessageFilter::TShellMessageFilter(int acceptedMessage, THandler handler)
    : FAcceptedMessage(acceptedMessage), FHandler(std::move(handler))
{
}

bool TShellMessageFilter::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t" || !message)
        return false;
    if ((static_cast<const xcb_generic_event_t*>(message)->response_type & 0x7F) != XCB_CLIENT_MESSAGE)
        return false;
    xcb_connection_t* connection = X11Connection();
    if (!connection)
        return false;
    // Every event the connection delivers is at least 32 bytes long.
    const auto received = ShellMessage::ReadClientMessage(message, sizeof(xcb_client_message_event_t),
                                                          MessageAtom(connection), FAcceptedMessage);
    if (!received)
        return false;
    if (FHandler)
        FHandler(received->Window, received->Message);
    return true;
}
