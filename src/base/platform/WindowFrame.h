#pragma once

#include <QAbstractNativeEventFilter>
#include <QMargins>
#include <QtGlobal>

#include <functional>
#include <optional>

// The frame a window manager draws around a top-level window. The frame is
// not ours to know until the window manager says what it is, which it does
// only some time after the window has been created or shown.
namespace WindowFrame {

// True when the window manager announces the frames it draws (so a window
// can wait for that announcement). False without a window manager.
bool IsAnnounced();

// The frame around the window with this native handle, as the window
// manager announced it; empty while it has not done so.
std::optional<QMargins> Extents(qint64 windowHandle);

} // namespace WindowFrame

// Reports each announcement (or change) of a window's frame, with the
// window's native handle. Passes every event on.
class TWindowFrameFilter : public QAbstractNativeEventFilter
{
public:
    using THandler = std::function<void(qint64 windowHandle)>;
    explicit TWindowFrameFilter(THandler handler);
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    THandler FHandler;
};
