#include "shell/WindowPlacement.h"

#include <QtGlobal>

QRect ClientRectInFrame(const TWindowPlacement& outer, const QMargins& frame, const QSize& minimum)
{
    const int width = outer.Right - outer.Left - frame.left() - frame.right();
    const int height = outer.Bottom - outer.Top - frame.top() - frame.bottom();
    return QRect(outer.Left + frame.left(), outer.Top + frame.top(), qMax(width, minimum.width()),
                 qMax(height, minimum.height()));
}
