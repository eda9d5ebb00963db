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

private:
    void RequestChanged();

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
