#pragma once

#include "engine/Chromium.h"

// What a key asks the shell to do.
enum class TKeyCommand {
    None,
    CloseTab,
    NextTab,
    PreviousTab,
    SelectTab, // the visible tab numbered TKeyRoute::Tab, from 1
    LastTab,
    Reload,
    ReloadBypassingCache,
    StopLoad,
    GoBack,
    GoForward,
    ToggleFullScreen,
    Print,
    ShowDownloads,
    ShowOptions,
    ReopenClosedTab,
    OpenFind,
    FindNext,
    FindPrevious,
    CloseFind,
    ZoomIn,
    ZoomOut,
    ZoomReset,
};

// Where a key was pressed, and how far it got.
enum class TKeySource {
    PageBefore,    // in a page, before the page has seen it
    PageUnhandled, // in a page, which did not handle it
    Shell,         // the window itself or the tab strip
    FindBar,
};

struct TKeyState
{
    bool Closing = false;   // the program is ending
    bool ModalOpen = false; // a dialog or message box is up
};

struct TKeyRoute
{
    TKeyCommand Command = TKeyCommand::None;
    int Tab = 0;
    // The shell keeps the key: the page must not get it.
    bool Taken = false;
};

// Which key goes where. As in a browser, the page sees a key first and the
// shell acts on what it leaves, except for the tab keys, which are the
// shell's before the page sees them. Keys the find bar leaves reach the
// shell as well. Held-down keys repeat only where repeating is harmless.
namespace KeyRouting {

TKeyRoute Route(const TKeyPress& key, TKeySource source, const TKeyState& state);

} // namespace KeyRouting
