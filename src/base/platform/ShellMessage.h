#pragma once

#include <QAbstractNativeEventFilter>
#include <QtGlobal>

#include <functional>

// Private messages between processes of the program, addressed to a window by
// its native handle (the equivalent of posting a window message).
namespace ShellMessage {

// Posts message to the window with the given native handle. The result is
// not checked: a stale or foreign handle simply receives nothing useful.
void Post(qint64 windowHandle, int message);

} // namespace ShellMessage

// Receives the messages posted with ShellMessage::Post to this process's windows.
class TShellMessageFilter : public QAbstractNativeEventFilter
{
public:
    using THandler = std::function<void(qint64 windowHandle, int message)>;
    explicit TShellMessageFilter(THandler handler);
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    THandler FHandler;
};
