#pragma once

#include <QObject>
#include <QPointer>

class QWidget;
class TChromium;
class TDownloadItem;
class TDownloadList;
class TFormDownloads;
class TTabRegistry;
struct TDownloadReply;
struct TDownloadRequest;
struct TShutdownFlags;

// The downloads of this run: where each one goes (the save dialog), the
// list that follows them and the downloads window that shows it.
class TDownloadController : public QObject
{
    Q_OBJECT

public:
    // window: the parent of the save dialog and the downloads window.
    TDownloadController(TTabRegistry& registry, QWidget& window, const TShutdownFlags& flags,
                        QObject* parent = nullptr);

    // Asks where a download goes; not accepted, it does not start.
    void BeforeDownload(const TDownloadRequest& request, TDownloadReply& reply);
    // Shows the downloads window.
    void Show();
    // The program ends: every download still running is cancelled.
    void End();

    TDownloadList& List() const { return *FList; }
    TFormDownloads* Window() const;

private:
    void Started(TDownloadItem* item);
    void Finished(int row);

    QWidget& FOwner;
    const TShutdownFlags& FFlags;
    TDownloadList* FList = nullptr;
    QPointer<TFormDownloads> FWindow;
};
