#pragma once

#include <functional>

// The main window's shutdown flags. FClosing is never cleared once set.
struct TShutdownFlags
{
    bool FClosing = false;       // shutting down: page events and drawing are ignored
    bool FExitRequested = false; // a close ends the program; otherwise it only hides the window
    bool FConfirmExit = true;    // ask before ending the program
};

enum class TCloseDecision { Hide, Close, Refuse };

// What an attempt to close the main window does. askExit asks the exit
// question and gives true for Yes.
TCloseDecision DecideClose(TShutdownFlags& flags, const std::function<bool()>& askExit);
