#include "tabs/TabArtwork.h"

#include <QHash>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

namespace TabArtwork {
namespace {

QPixmap Blank(QSize size, qreal ratio)
{
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

enum class TArt : quint64 { Tab = 1, Close, Globe, Loading };

// One number names a picture: what it is, its variant (state bits or frame),
// its size and the pixel ratio. Cheap to make on every paint, unlike a text.
quint64 ArtKey(TArt art, quint64 variant, QSize size, qreal ratio)
{
    return static_cast<quint64>(art) | (variant & 0xFF) << 4 | (static_cast<quint64>(size.width()) & 0xFFFF) << 12
           | (static_cast<quint64>(size.height()) & 0xFFF) << 28
           | (static_cast<quint64>(qRound(ratio * 100)) & 0xFFFFFF) << 40;
}

template <typename TDraw>
QPixmap Cached(TArt art, quint64 variant, QSize size, qreal ratio, TDraw draw)
{
    static QHash<quint64, QPixmap> cache;
    const quint64 fullKey = ArtKey(art, variant, size, ratio);
    if (const auto found = cache.constFind(fullKey); found != cache.constEnd())
        return *found;
    QPixmap pixmap = Blank(size, ratio);
    {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        draw(painter);
    }
    cache.insert(fullKey, pixmap);
    return pixmap;
}

} // namespace

QBrush StripBackground()
{
    QLinearGradient gradient(0, 0, 0, 29);
    gradient.setColorAt(0, QColor(0xdf, 0xe6, 0xee));
    gradient.setColorAt(1, QColor(0xcb, 0xd5, 0xe1));
    return gradient;
}

QColor StripLine()
{
    return QColor(0x9a, 0xa9, 0xbb);
}

QColor TextColor(bool active)
{
    return active ? QColor(0x1d, 0x2b, 0x3a) : QColor(0x3d, 0x4b, 0x5a);
}

QPixmap TabBackground(bool active, bool hover, const QSize& size, qreal ratio)
{
    return Cached(TArt::Tab, (active ? 1 : 0) | (hover ? 2 : 0), size, ratio, [&](QPainter& painter) {
        const QRectF body(0.5, 2.5, size.width() - 1.0, size.height() - 2.0);
        QPainterPath shape;
        shape.moveTo(body.left(), body.bottom());
        shape.lineTo(body.left(), body.top() + 4);
        shape.quadTo(body.left(), body.top(), body.left() + 4, body.top());
        shape.lineTo(body.right() - 4, body.top());
        shape.quadTo(body.right(), body.top(), body.right(), body.top() + 4);
        shape.lineTo(body.right(), body.bottom());
        QLinearGradient fill(0, body.top(), 0, body.bottom());
        if (active) {
            fill.setColorAt(0, QColor(0xff, 0xff, 0xff));
            fill.setColorAt(1, QColor(0xf4, 0xf7, 0xfa));
        } else if (hover) {
            fill.setColorAt(0, QColor(0xf2, 0xf5, 0xf9));
            fill.setColorAt(1, QColor(0xe0, 0xe7, 0xef));
        } else {
            fill.setColorAt(0, QColor(0xe8, 0xed, 0xf3));
            fill.setColorAt(1, QColor(0xd3, 0xdc, 0xe6));
        }
        painter.fillPath(shape, fill);
        painter.setPen(QPen(QColor(0x9a, 0xa9, 0xbb), 1.0));
        painter.drawPath(shape);
    });
}

QPixmap TabClose(bool hover, qreal ratio)
{
    return Cached(TArt::Close, hover ? 1 : 0, QSize(10, 10), ratio, [&](QPainter& painter) {
        if (hover) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(0xd9, 0x53, 0x4f));
            painter.drawEllipse(QRectF(0, 0, 10, 10));
        }
        QPen pen(hover ? QColor(Qt::white) : QColor(0x8c, 0x96, 0xa3), 1.6);
        pen.setCapStyle(Qt::RoundCap);
        painter.setPen(pen);
        painter.drawLine(QPointF(2.8, 2.8), QPointF(7.2, 7.2));
        painter.drawLine(QPointF(7.2, 2.8), QPointF(2.8, 7.2));
    });
}

QPixmap FavIconNew(qreal ratio)
{
    return Cached(TArt::Globe, 0, QSize(16, 16), ratio, [](QPainter& painter) {
        const QRectF ball(1.5, 1.5, 13, 13);
        QRadialGradient fill(QPointF(6, 5), 10);
        fill.setColorAt(0, QColor(0x8c, 0xc8, 0xff));
        fill.setColorAt(1, QColor(0x1f, 0x6f, 0xc4));
        painter.setPen(QPen(QColor(0x17, 0x56, 0x9b), 1.0));
        painter.setBrush(fill);
        painter.drawEllipse(ball);
        painter.setPen(QPen(QColor(255, 255, 255, 190), 0.9));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(QRectF(5, 1.5, 6, 13));
        painter.drawLine(QPointF(8, 1.5), QPointF(8, 14.5));
        painter.drawLine(QPointF(1.5, 8), QPointF(14.5, 8));
        painter.drawArc(QRectF(2.5, 3.5, 11, 4), 0, 180 * 16);
        painter.drawArc(QRectF(2.5, 8.5, 11, 4), 180 * 16, 180 * 16);
    });
}

QPixmap LoadingFrame(int frame, qreal ratio)
{
    frame = ((frame % LoadingFrameCount) + LoadingFrameCount) % LoadingFrameCount;
    return Cached(TArt::Loading, static_cast<quint64>(frame), QSize(16, 16), ratio, [frame](QPainter& painter) {
        // Green dots on a ring; the bright head moves one step per frame.
        constexpr int dots = 10;
        const qreal head = frame * 360.0 / LoadingFrameCount;
        painter.setPen(Qt::NoPen);
        for (int i = 0; i < dots; ++i) {
            const qreal angle = head - i * 360.0 / dots;
            const qreal radians = qDegreesToRadians(angle - 90);
            const QPointF centre(8 + 5.6 * qCos(radians), 8 + 5.6 * qSin(radians));
            const int alpha = 255 - i * 22;
            painter.setBrush(QColor(0x2e, 0xa0, 0x43, qMax(40, alpha)));
            const qreal radius = 1.9 - i * 0.09;
            painter.drawEllipse(centre, radius, radius);
        }
    });
}

} // namespace TabArtwork
