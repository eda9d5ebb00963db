// The pages' context menu, saving images, and downloads.

#include "shell/Main.h"

#include "widgets/AppMessageBox.h"
#include "page/ImageSaveName.h"
#include "page/PageMenu.h"
#include "page/SaveDialog.h"

#include <QFileInfo>
#include <QPointer>

namespace {

constexpr int MB_ICONEXCLAMATION = 0x30; // the warning icon

} // namespace

void TFormMain::crmBeforeContextMenu(TChromium*, const TContextMenuParams& Params, TContextMenuModel& Model)
{
    EditPageMenu(Params, Model);
}

void TFormMain::crmContextMenuCommand(TChromium* Sender, const TContextMenuParams& Params, int CommandId)
{
    switch (CommandId) {
    case MenuIdRefresh:
        if (Sender)
            Sender->Reload();
        break;
    case MenuIdSaveImage:
        SaveImageAs(Sender, Params.SourceUrl);
        break;
    default:
        break;
    }
}

void TFormMain::SaveImageAs(TChromium* view, const QUrl& url)
{
    const TImageSaveName name = ImageSaveName(url.toString());
    const std::optional<QString> file = ExecuteSaveDialog(this, {name.DefaultExt, name.FileName, name.Filter});
    if (!file)
        return;
    const auto failed = [window = QPointer<TFormMain>(this)] {
        if (window)
            AppMessageBox(QStringLiteral("保存失败！"), MB_ICONEXCLAMATION);
    };
    if (!view) {
        failed();
        return;
    }
    // Fetched by the engine, so the page's login cookies go with it; the
    // window stays responsive while it runs.
    view->SaveUrlToFile(url, *file, [failed](bool ok) {
        if (!ok)
            failed();
    });
}

void TFormMain::crmBeforeDownload(TChromium*, const TDownloadRequest& Request, TDownloadReply& Reply)
{
    if (FClosing)
        return; // not accepted: the download does not start
    const std::optional<QString> file = ExecuteSaveDialog(this, {QString(), Request.SuggestedName, QString()});
    if (!file)
        return;
    // The engine fails a download into a folder it cannot write without a
    // word; say so here instead of starting one that cannot land.
    const QFileInfo folder(QFileInfo(*file).absolutePath());
    if (!folder.isDir() || !folder.isWritable()) {
        AppMessageBox(QStringLiteral("保存失败！"), 0x30);
        return;
    }
    Reply.Accept = true;
    Reply.FullPath = *file;
}
