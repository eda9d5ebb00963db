#include "shell/AppIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

QPixmap DrawIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    QPainterPath tile;
    tile.addRoundedRect(QRectF(0.5, 0.5, s - 1, s - 1), s * 0.18, s * 0.18);
    QLinearGradient fill(0, 0, 0, s);
    fill.setColorAt(0, QColor(0x2f, 0x8f, 0xe0));
    fill.setColorAt(1, QColor(0x14, 0x5a, 0xa8));
    painter.fillPath(tile, fill);
    // A house: roof and body, the service's subject.
    QPainterPath house;
    house.moveTo(s * 0.50, s * 0.18);
    house.lineTo(s * 0.84, s * 0.48);
    house.lineTo(s * 0.74, s * 0.48);
    house.lineTo(s * 0.74, s * 0.82);
    house.lineTo(s * 0.26, s * 0.82);
    house.lineTo(s * 0.26, s * 0.48);
    house.lineTo(s * 0.16, s * 0.48);
    house.closeSubpath();
    painter.fillPath(house, Qt::white);
    painter.fillRect(QRectF(s * 0.44, s * 0.60, s * 0.12, s * 0.22), QColor(0x14, 0x5a, 0xa8));
    return pixmap;
}

} // namespace

QIcon AppIcon()
{
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(DrawIcon(size));
    return icon;
}
