#include "downloads/DownloadController.h"

#include "downloads/DownloadList.h"
#include "downloads/Downloads.h"
#include "engine/Chromium.h"
#include "page/SaveDialog.h"
#include "tabs/TabRegistry.h"
#include "widgets/AppMessageBox.h"
#include "widgets/ShutdownFlags.h"

#include <QDebug>
#include <QFileInfo>

TDownloadController::TDownloadController(TTabRegistry& registry, QWidget& window, const TShutdownFlags& flags,
                                         QObject* parent)
    : QObject(parent), FOwner(window), FFlags(flags)
{
    FList = new TDownloadList(this);
    connect(FList, &TDownloadList::Finished, this, &TDownloadController::Finished);
    connect(&registry, &TTabRegistry::ViewCreated, this, [this](TChromium* view) {
        connect(view, &TChromium::DownloadStarted, this, &TDownloadController::Started);
    });
}

void TDownloadController::BeforeDownload(const TDownloadRequest& request, TDownloadReply& reply)
{
    if (FFlags.FClosing)
        return; // not accepted: the download does not start
    const std::optional<QString> file = ExecuteSaveDialog(&FOwner, {QString(), request.SuggestedName, QString()});
    if (!file)
        return;
    // The engine fails a download into a folder it cannot write without a
    // word; say so here instead of starting one that cannot land.
    const QFileInfo folder(QFileInfo(*file).absolutePath());
    if (!folder.isDir() || !folder.isWritable()) {
        AppMessageBox(QStringLiteral("保存失败！"), 0x30);
        return;
    }
    reply.Accept = true;
    reply.FullPath = *file;
}

void TDownloadController::Show()
{
    if (FFlags.FClosing)
        return;
    if (!FWindow)
        FWindow = new TFormDownloads(*FList, &FOwner);
    FWindow->ShowAndRaise();
}

void TDownloadController::End()
{
    FList->CancelAll();
}

void TDownloadController::Started(TDownloadItem* item)
{
    FList->Add(item);
    if (FFlags.FClosing)
        FList->CancelAll();
    else
        Show();
}

void TDownloadController::Finished(int row)
{
    const TDownloadList::TEntry& entry = FList->Entry(row);
    if (entry.State == TDownloadList::TState::Failed)
        qDebug().noquote() << QStringLiteral("Download failed: %1: %2").arg(entry.FileName, entry.Reason);
}

TFormDownloads* TDownloadController::Window() const
{
    return FWindow;
}
