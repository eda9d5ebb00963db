#pragma once

#include <QBrush>
#include <QColor>
#include <QPixmap>

// The tab strip's artwork, drawn by the program itself at the screen's pixel
// ratio so it stays sharp at any scale. Pixmaps are made once per ratio.
namespace TabArtwork {

inline constexpr int LoadingFrameCount = 15;

QBrush StripBackground();
QColor StripLine();
QColor TextColor(bool active);
QPixmap TabBackground(bool active, bool hover, const QSize& size, qreal ratio);
QPixmap TabClose(bool hover, qreal ratio);   // 10 x 10
QPixmap FavIconNew(qreal ratio);             // 16 x 16 globe
QPixmap LoadingFrame(int frame, qreal ratio); // 16 x 16, frame 0 .. 14

} // namespace TabArtwork
