#pragma once

// The main window's shutdown flags, read by everything that must stop
// acting once the program ends. FClosing is never cleared once set.
struct TShutdownFlags
{
    bool FClosing = false;       // shutting down: page events and drawing are ignored
    bool FExitRequested = false; // a close ends the program; otherwise it only hides the window
    bool FConfirmExit = true;    // ask before ending the program
    bool FLeaving = false;       // the pages are asked whether they may go: their close requests only answer
};
