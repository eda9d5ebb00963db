#pragma once

#include <QAbstractNativeEventFilter>
#include <QtGlobal>

#include <cstddef>
#include <functional>
#include <optional>

// Private messages between processes of the program, addressed to a window by
// its native handle (the equivalent of posting a window message).
namespace ShellMessage {

// Posts message to the window with the given native handle. The result is
// not checked: a stale or foreign handle simply receives nothing useful.
void Post(qint64 windowHandle, int message);

// A message read from a native event.
struct TReceived
{
    qint64 Window = 0;
    int Message = 0;
};

// Reads the raw bytes of an X event (size of them): the message that Post
// sent, if it is one and carries acceptedMessage, else nullopt. Other
// processes can send any client message to any window, so everything is
// checked: a sent client message of format 32 with messageAtom as its type,
// a window, the accepted number and nothing else in its data.
std::optional<TReceived> ReadClientMessage(const void* event, std::size_t size, quint32 messageAtom,
                                           int acceptedMessage);

} // namespace ShellMessage

// Receives the message acceptedMessage, posted with ShellMessage::Post to this
// process's windows; every other message from outside is ignored.
class TShellMessageFilter : public QAbstractNativeEventFilter
{
public:
    using THandler = std::function<void(qint64 windowHandle, int message)>;
    TShellMessageFilter(int acceptedMessage, THandler handler);
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    int FAcceptedMessage;
    THandler FHandler;
};
