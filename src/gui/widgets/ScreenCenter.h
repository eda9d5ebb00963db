#pragma once

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

// Places a top-level window in the middle of the primary screen's work area.
inline void CenterOnScreen(QWidget& window)
{
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        window.move(area.left() + (area.width() - window.width()) / 2,
                    area.top() + (area.height() - window.height()) / 2);
    }
}
