// The pages' dialogs and commands, and logging in again.

#include "shell/Main.h"

void TFormMain::crmJsdialog(TChromium*, const TJsDialogRequest&, TJsDialogReply&)
{
    // Not handled yet: the engine shows its own dialog.
}

void TFormMain::NReloginClick()
{
}
