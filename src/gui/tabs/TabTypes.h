#pragma once

#include "engine/Chromium.h"
#include "tabs/PageControl.h"

#include <QPoint>
#include <QPointer>

// One tab's record: what the strip draws and what closing and focusing use.
struct TBrowserTab
{
    bool Loaded = false;         // false while the page loads
    QPointer<QWidget> Window;    // the widget that shows the page
    int Frame = 0;               // loading-animation frame to draw
    QPointer<TChromium> Browser; // the tab's browser view, when known
    QPointer<TTabPage> Sheet;    // the page the tab occupies
    // Find in page, kept per tab: the text, whether the bar is open, and the
    // last result (active match from 1, match count).
    QString FindText;
    bool FindOpen = false;
    int FindActive = 0;
    int FindCount = 0;
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

// Per-page state of the tab strip that outlives a paint.
struct TTabSlot
{
    bool PointerAway = false; // the pointer was last seen outside the close button
    int PageIndex = 0;        // the page the tab was made in; finds the slot to clear on close
};

// A popup's view, handed from the popup event to the main thread's queue.
struct TPopupInfo
{
    QPointer<TChromium> Window;
    bool Background = false; // asked for as a background tab (Ctrl+click)
};
