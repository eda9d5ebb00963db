// The pages' dialogs and commands, and logging in again.

#include "shell/Main.h"

#include "core/Global.h"
#include "platform/Platform.h"
#include "widgets/AppMessageBox.h"
#include "page/CacheReset.h"
#include "page/PageCommand.h"
#include "shell/Successor.h"

#include <QFile>
#include <QSaveFile>

void TFormMain::crmJsdialog(TChromium*, const TJsDialogRequest& Request, TJsDialogReply& Reply)
{
    // Shutting down: no box and no command any more; the page sees a
    // cancelled dialog.
    if (FClosing) {
        Reply.Handled = true;
        return;
    }
    const TPageCommand command = ParsePageCommand(Request.MessageText);
    switch (command.Kind) {
    case TPageCommandKind::Dialog:
        Reply.Handled = true;
        if (Request.Type == TJsDialogType::Confirm) {
            if (ShowMessageBox(QString(), Request.MessageText, MB_YESNO) == IDYES) {
                Reply.Success = true;
                Reply.HasInput = true;
                Reply.UserInput = Request.DefaultPromptText;
            }
        } else {
            // Alert and prompt alike: the text and one OK button; a prompt
            // collects nothing and gives the page null.
            ShowMessageBox(AppTitle(), Request.MessageText, MB_OK);
        }
        return;
    case TPageCommandKind::EngineOwn:
        return; // not handled: the engine shows the full text itself
    case TPageCommandKind::ClearCache:
        Reply.Handled = true;
        FClosing = true;
        FExitRequested = true;
        FConfirmExit = false;
        close();
        ClearCacheAndRestart();
        return;
    case TPageCommandKind::Relogin:
        Reply.Handled = true;
        NReloginClick();
        return;
    }
}

void TFormMain::ClearCacheAndRestart()
{
    const QString cache = DataFile(QStringLiteral("cache/"));
    for (const char* name : CookieFileNames) {
        const QString saved = DataFile(QLatin1String(name));
        QFile::remove(saved);
        QFile::copy(cache + QLatin1String(name), saved); // a missing cookie file is no error
    }
    const QString script = DataFile(QLatin1String(CacheResetScriptName));
    // Written to a new file and renamed over the old one, so a link planted
    // under the script's name is replaced, never followed.
    QSaveFile file(script);
    if (!file.open(QIODevice::WriteOnly) || file.write(CacheResetScript(gDataDir, Platform::ExecutablePath())) < 0
        || !file.commit()) {
        // The window is already closing: say why no restart follows.
        AppMessageBox(QStringLiteral("Unable to write to %1").arg(script), 0x10);
        return;
    }
    StartWhenEnded({QStringLiteral("/bin/sh"), {script}, gDataDir});
}

void TFormMain::NReloginClick()
{
    if (AppMessageBox(QStringLiteral("确定要重新登录吗？"), MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    FConfirmExit = false;
    NExitClick();
    // No arguments: the new instance starts from scratch, with a fresh
    // fingerprint and login address.
    StartWhenEnded({Platform::ExecutablePath(), {}, gAppDir});
}
