#pragma once

#include <QObject>
#include <QPointer>

class QWidget;
class TChromium;
class TDownloadItem;
class TDownloadList;
class TFormDownloads;
class TBrowserEngine;
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
    TDownloadController(TBrowserEngine& engine, QWidget& window, const TShutdownFlags& flags,
                        QObject* parent = nullptr);
    ~TDownloadController() override;

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
    // chosen, or "name (2).ext" and so on while a running download writes there.
    QString FreePath(const QString& chosen) const;
    void Finished(int row);

    TBrowserEngine& FEngine;
    QWidget& FOwner;
    const TShutdownFlags& FFlags;
    TDownloadList* FList = nullptr;
    QPointer<TFormDownloads> FWindow;
};
