#pragma once

#include "engine/DownloadItem.h"

#include <QPointer>

class QWebEngineDownloadRequest;

// A download item over the engine's own download request, which the
// profile owns; this object only watches it.
class TQtDownloadItem : public TDownloadItem
{
    Q_OBJECT

public:
    TQtDownloadItem(QWebEngineDownloadRequest* request, QObject* parent);

    QUrl Url() const override { return FUrl; }
    QString Path() const override { return FPath; }
    qint64 ReceivedBytes() const override;
    qint64 TotalBytes() const override;
    TState State() const override;
    QString InterruptReason() const override;
    void Cancel() override;

    // The engine resumed the download (after a dropped connection) under a
    // new request object: follow that one from now on.
    void Rebind(QWebEngineDownloadRequest* request);
    bool FinishedReported() const { return FFinishedReported; }

private:
    void Watch(QWebEngineDownloadRequest* request);
    void RequestChanged();
    void RemovePartialFile() const;

    QPointer<QWebEngineDownloadRequest> FRequest;
    QUrl FUrl;
    QString FPath;
    bool FFinishedReported = false;
    // Kept for when the engine's request is gone.
    qint64 FReceived = 0;
    qint64 FTotal = -1;
    TState FState = TState::InProgress;
    QString FReason;
};
