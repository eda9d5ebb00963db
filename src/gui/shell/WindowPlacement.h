#pragma once

#include "config/ConfigFile.h"

#include <QMargins>
#include <QObject>
#include <QRect>
#include <QSize>

#include <memory>

// The client rectangle that puts a window, with a frame of the given
// margins around it, at the saved outer rectangle. The client keeps at
// least the minimum size; the frame's top-left corner stays where it was saved.
QRect ClientRectInFrame(const TWindowPlacement& outer, const QMargins& frame, const QSize& minimum);

class QWidget;
class TWindowFrameFilter;

// Puts a restored window (not maximised) at its saved outer rectangle. The
// client takes the whole rectangle at once; the window manager tells how
// large its frame is only after the window is shown, and then the client
// goes inside the rectangle. Without a window manager that tells frames,
// the window has none and already stands where it was saved.
class TFrameFit : public QObject
{
public:
    TFrameFit(QWidget& window, const TWindowPlacement& saved, QObject* parent = nullptr);
    ~TFrameFit() override;

    // Before the frame is known the window stands, as far as anyone can
    // tell, at the saved rectangle.
    bool Waiting() const { return FWaiting; }
    // The window was shown.
    void WindowShown();
    void End();

private:
    void Fit();

    QWidget& FWindow;
    TWindowPlacement FSaved;
    bool FWaiting = false;
    std::unique_ptr<TWindowFrameFilter> FFilter;
};
