// The pages' context menu, saving images, and downloads.

#include "shell/Main.h"

void TFormMain::crmBeforeContextMenu(TChromium*, const TContextMenuParams&, TContextMenuModel&)
{
}

void TFormMain::crmContextMenuCommand(TChromium*, const TContextMenuParams&, int)
{
}

void TFormMain::crmBeforeDownload(TChromium*, const TDownloadRequest&, TDownloadReply&)
{
    // Not accepted: no download starts.
}
