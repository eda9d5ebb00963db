#include "downloads/DownloadList.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include <memory>

namespace {

constexpr qint64 SpeedWindowMs = 3000; // speed is the average of the last seconds

} // namespace

TDownloadList::TDownloadList(QObject* parent, std::function<qint64()> clock)
    : QObject(parent), FClock(std::move(clock))
{
    if (!FClock) {
        auto timer = std::make_shared<QElapsedTimer>();
        timer->start();
        FClock = [timer] { return timer->elapsed(); };
    }
    FSpeedTimer = new QTimer(this);
    FSpeedTimer->setInterval(1000);
    connect(FSpeedTimer, &QTimer::timeout, this, &TDownloadList::RefreshSpeeds);
}

void TDownloadList::RefreshSpeeds()
{
    for (int row = 0; row < Count(); ++row)
        ItemChanged(row);
    if (ActiveCount() == 0)
        FSpeedTimer->stop();
}

void TDownloadList::Add(TDownloadItem* item)
{
    if (!item)
        return;
    item->setParent(this);
    const int row = Count();
    TRow entry;
    entry.Item = item;
    entry.Entry.Path = item->Path();
    entry.Entry.FileName = QFileInfo(item->Path()).fileName();
    FRows.append(entry);
    connect(item, &TDownloadItem::Changed, this, [this, row] { ItemChanged(row); });
    connect(item, &TDownloadItem::Finished, this, [this, row] { ItemFinished(row); });
    ItemChanged(row);
    Q_EMIT Added(row);
    if (!FSpeedTimer->isActive())
        FSpeedTimer->start();
    if (item->State() != TDownloadItem::TState::InProgress)
        ItemFinished(row);
}

int TDownloadList::ActiveCount() const
{
    int count = 0;
    for (const TRow& row : FRows)
        count += row.Entry.State == TState::InProgress ? 1 : 0;
    return count;
}

void TDownloadList::ItemChanged(int row)
{
    TRow& data = FRows[row];
    if (!data.Item || data.Entry.State != TState::InProgress)
        return;
    TEntry& entry = data.Entry;
    entry.Received = data.Item->ReceivedBytes();
    entry.Total = data.Item->TotalBytes();
    const qint64 now = FClock();
    // A download the engine restarted from the beginning counts its speed afresh.
    if (!data.Samples.empty() && entry.Received < data.Samples.back().second)
        data.Samples.clear();
    data.Samples.emplace_back(now, entry.Received);
    while (data.Samples.size() > 2 && now - data.Samples.front().first > SpeedWindowMs)
        data.Samples.pop_front();
    const auto& [firstTime, firstBytes] = data.Samples.front();
    entry.BytesPerSecond = now > firstTime ? (entry.Received - firstBytes) * 1000 / (now - firstTime) : 0;
    Q_EMIT Changed(row);
}

void TDownloadList::ItemFinished(int row)
{
    TRow& data = FRows[row];
    if (!data.Item || data.Entry.State != TState::InProgress)
        return;
    ItemChanged(row);
    TEntry& entry = data.Entry;
    entry.BytesPerSecond = 0;
    switch (data.Item->State()) {
    case TDownloadItem::TState::Completed:
        entry.State = TState::Completed;
        break;
    case TDownloadItem::TState::Cancelled:
        entry.State = TState::Cancelled;
        break;
    default:
        entry.State = TState::Failed;
        entry.Reason = data.Item->InterruptReason();
        if (entry.Reason.isEmpty())
            entry.Reason = QStringLiteral("未知错误");
        break;
    }
    // The engine writes to "<name>.download" and renames it only once the
    // whole file is there: a failed download leaves the chosen name alone,
    // and the engine glue removes the partial file.
    Q_EMIT Changed(row);
    Q_EMIT Finished(row);
}

void TDownloadList::Cancel(int row)
{
    if (row < 0 || row >= Count())
        return;
    if (TDownloadItem* item = FRows[row].Item; item && FRows[row].Entry.State == TState::InProgress)
        item->Cancel();
}

void TDownloadList::CancelAll()
{
    for (int row = 0; row < Count(); ++row)
        Cancel(row);
}

QString TDownloadList::FormatBytes(qint64 bytes)
{
    if (bytes < 1024)
        return QStringLiteral("%1 字节").arg(qMax<qint64>(bytes, 0));
    if (bytes < 1024 * 1024)
        return QStringLiteral("%1 KB").arg(bytes / 1024);
    if (bytes < 1024LL * 1024 * 1024)
        return QStringLiteral("%1 MB").arg(static_cast<double>(bytes) / (1024 * 1024), 0, 'f', 1);
    return QStringLiteral("%1 GB").arg(static_cast<double>(bytes) / (1024.0 * 1024 * 1024), 0, 'f', 2);
}

QString TDownloadList::StatusText(const TEntry& entry)
{
    switch (entry.State) {
    case TState::InProgress: {
        QString text = entry.Total > 0
                           ? QStringLiteral("%1 / %2").arg(FormatBytes(entry.Received), FormatBytes(entry.Total))
                           : FormatBytes(entry.Received);
        if (entry.BytesPerSecond > 0)
            text += QStringLiteral("，%1/秒").arg(FormatBytes(entry.BytesPerSecond));
        return text;
    }
    case TState::Completed: return QStringLiteral("已完成，%1").arg(FormatBytes(entry.Received));
    case TState::Cancelled: return QStringLiteral("已取消");
    case TState::Failed: return QStringLiteral("下载失败：%1").arg(entry.Reason);
    }
    return {};
}
