#include "shell/CloseRules.h"

TCloseDecision DecideClose(TShutdownFlags& flags, const std::function<bool()>& askExit)
{
    if (!flags.FExitRequested)
        return TCloseDecision::Hide;
    if (!flags.FConfirmExit)
        return TCloseDecision::Close;
    // Asked once per request: a No leaves the next plain close hiding again.
    flags.FExitRequested = false;
    if (askExit && askExit()) {
        flags.FClosing = true;
        return TCloseDecision::Close;
    }
    return TCloseDecision::Refuse;
}
