#pragma once

#include "engine/Chromium.h"
#include "tabs/PageControl.h"

#include <QPoint>
#include <QPointer>

// One tab's record: its view, its page and whether it has loaded.
struct TBrowserTab
{
    bool Loaded = false;         // false while the page loads
    QPointer<QWidget> Window;    // the widget that shows the page
    QPointer<TChromium> Browser; // the tab's browser view, when known
    QPointer<TTabPage> Sheet;    // the page the tab occupies
};

// A rectangle with inclusive left/top and exclusive right/bottom edges.
struct TRect
{
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    bool Contains(const QPoint& point) const
    {
        return point.x() >= Left && point.x() < Right && point.y() >= Top && point.y() < Bottom;
    }
};

// A popup's view, handed from the popup event to the main thread's queue.
struct TPopupInfo
{
    QPointer<TChromium> Window;
    bool Background = false; // asked for as a background tab (Ctrl+click)
};
