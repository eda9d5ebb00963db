#include "shell/WindowPlacement.h"

#include "platform/WindowFrame.h"

#include <QCoreApplication>
#include <QTimer>
#include <QWidget>
#include <QtGlobal>

QRect ClientRectInFrame(const TWindowPlacement& outer, const QMargins& frame, const QSize& minimum)
{
    const int width = outer.Right - outer.Left - frame.left() - frame.right();
    const int height = outer.Bottom - outer.Top - frame.top() - frame.bottom();
    return QRect(outer.Left + frame.left(), outer.Top + frame.top(), qMax(width, minimum.width()),
                 qMax(height, minimum.height()));
}

TFrameFit::TFrameFit(QWidget& window, const TWindowPlacement& saved, QObject* parent)
    : QObject(parent), FWindow(window), FSaved(saved)
{
    // The client takes the whole rectangle for now.
    FWindow.move(saved.Left, saved.Top);
    FWindow.resize(qMax(saved.Right - saved.Left, FWindow.minimumWidth()),
                   qMax(saved.Bottom - saved.Top, FWindow.minimumHeight()));
    if (!WindowFrame::IsAnnounced())
        return;
    FWaiting = true;
    FFilter = std::make_unique<TWindowFrameFilter>([this](qint64 handle) {
        if (FWaiting && handle == static_cast<qint64>(FWindow.winId()))
            QTimer::singleShot(0, this, &TFrameFit::Fit);
    });
    qApp->installNativeEventFilter(FFilter.get());
}

TFrameFit::~TFrameFit()
{
    End();
}

void TFrameFit::WindowShown()
{
    if (!FWaiting)
        return;
    // The frame may have been told before this show; and a window manager
    // that never tells it for this window must not hold the placement for good.
    QTimer::singleShot(0, this, &TFrameFit::Fit);
    QTimer::singleShot(5000, this, &TFrameFit::End);
}

void TFrameFit::Fit()
{
    if (!FWaiting)
        return;
    const std::optional<QMargins> frame = WindowFrame::Extents(static_cast<qint64>(FWindow.winId()));
    if (!frame)
        return;
    End();
    if (!FWindow.isMaximized())
        FWindow.setGeometry(ClientRectInFrame(FSaved, *frame, FWindow.minimumSize()));
}

void TFrameFit::End()
{
    FWaiting = false;
    if (FFilter) {
        qApp->removeNativeEventFilter(FFilter.get());
        FFilter.reset();
    }
}
