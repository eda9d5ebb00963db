#pragma once

#include "page/KeyRouting.h"

class QWidget;
class TDownloadController;
class TFullScreen;
class TOptionsWindow;
class TClosedTabs;
class TPageControl;
class TPageFind;
class TPageZoom;
class TPrintController;
class TTabRegistry;
struct TShutdownFlags;

// The features a key can reach.
struct TKeyTargets
{
    TTabRegistry& Registry;
    TPageControl& Pages;
    TPageFind& Find;
    TPageZoom& Zoom;
    TPrintController& Printing;
    TDownloadController& Downloads;
    TFullScreen& FullScreen;
    TOptionsWindow& Options;
    TClosedTabs& ClosedTabs;
};

// Does what a key asks: KeyRouting's table decides where the key goes, this
// hands the command to the feature that carries it out.
class TKeyCommands
{
public:
    // window: where a close gesture is posted, like every other close.
    TKeyCommands(QWidget& window, const TKeyTargets& targets, const TShutdownFlags& flags);

    // Routes the key and acts on it; gives whether the shell keeps it.
    bool Run(const TKeyPress& key, TKeySource source);

private:
    void RunKeyCommand(const TKeyRoute& route);

    QWidget& FWindow;
    TKeyTargets FTargets;
    const TShutdownFlags& FFlags;
};
