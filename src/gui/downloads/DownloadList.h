#pragma once

#include "engine/DownloadItem.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <deque>
#include <functional>
#include <utility>

// The downloads of this run, in the order they started: what the downloads
// window lists and what the exit question counts. The list owns the engine's
// items it is given.
class TDownloadList : public QObject
{
    Q_OBJECT

public:
    enum class TState { InProgress, Completed, Failed, Cancelled };

    struct TEntry
    {
        QString FileName;
        QString Path;
        qint64 Received = 0;
        qint64 Total = -1;       // -1: unknown
        qint64 BytesPerSecond = 0;
        TState State = TState::InProgress;
        QString Reason;          // why it failed
    };

    // clock gives milliseconds; the default is a steady clock.
    explicit TDownloadList(QObject* parent = nullptr, std::function<qint64()> clock = {});

    void Add(TDownloadItem* item);
    int Count() const { return static_cast<int>(FRows.size()); }
    const TEntry& Entry(int row) const { return FRows[row].Entry; }
    int ActiveCount() const;

    void Cancel(int row);
    // Cancels every download still running (the program is ending).
    void CancelAll();
    // Counts the speeds again: a download whose server went quiet reports
    // nothing, and its speed must fall to zero all the same. A timer calls
    // it every second while downloads run.
    void RefreshSpeeds();

    // "1.5 MB", "820 KB", "12 字节".
    static QString FormatBytes(qint64 bytes);
    // The entry's status line, as the downloads window shows it.
    static QString StatusText(const TEntry& entry);

Q_SIGNALS:
    void Added(int row);
    void Changed(int row);
    // The download ended (completed, failed or cancelled).
    void Finished(int row);

private:
    struct TRow
    {
        QPointer<TDownloadItem> Item;
        TEntry Entry;
        std::deque<std::pair<qint64, qint64>> Samples; // (ms, bytes) of the last seconds
    };

    void ItemChanged(int row);
    void ItemFinished(int row);

    std::function<qint64()> FClock;
    QList<TRow> FRows;
    QTimer* FSpeedTimer = nullptr;
};
