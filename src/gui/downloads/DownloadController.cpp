#include "downloads/DownloadController.h"

#include "downloads/DownloadList.h"
#include "downloads/Downloads.h"
#include "engine/BrowserEngine.h"
#include "engine/Chromium.h"
#include "engine/DownloadItem.h"
#include "page/SaveDialog.h"
#include "widgets/AppMessageBox.h"
#include "widgets/ShutdownFlags.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>

TDownloadController::TDownloadController(TBrowserEngine& engine, QWidget& window, const TShutdownFlags& flags,
                                         QObject* parent)
    : QObject(parent), FEngine(engine), FOwner(window), FFlags(flags)
{
    FList = new TDownloadList(this);
    connect(FList, &TDownloadList::Finished, this, &TDownloadController::Finished);
    // Every download the engine runs, whether or not its tab is still there.
    FEngine.SetDownloadSink([controller = QPointer<TDownloadController>(this)](TDownloadItem* item) {
        if (controller)
            controller->Started(item);
        else
            item->Cancel();
    });
}

TDownloadController::~TDownloadController()
{
    FEngine.SetDownloadSink({});
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
    reply.FullPath = FreePath(*file);
}

QString TDownloadController::FreePath(const QString& chosen) const
{
    // A running download writes "<name>.download" and removes it when it
    // fails: a second one under the same name would spoil the first.
    const auto inUse = [this](const QString& path) {
        for (int row = 0; row < FList->Count(); ++row) {
            const TDownloadList::TEntry& entry = FList->Entry(row);
            if (entry.State == TDownloadList::TState::InProgress && entry.Path == path)
                return true;
        }
        return false;
    };
    const QFileInfo info(chosen);
    QString path = info.absoluteFilePath();
    const QString base = info.suffix().isEmpty() ? info.fileName() : info.completeBaseName();
    const QString ext = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    for (int n = 2; inUse(path); ++n)
        path = info.absoluteDir().filePath(QStringLiteral("%1 (%2)%3").arg(base).arg(n).arg(ext));
    return path;
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
