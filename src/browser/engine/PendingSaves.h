#pragma once

#include <QString>
#include <QUrl>

#include <functional>
#include <optional>
#include <vector>

// Saves the shell asked a view to fetch into a chosen file, waiting for the
// engine's download of that address. A download is taken for a save only
// when its address is exactly the one asked for: any other download (the
// page's own, started meanwhile) must go through the ordinary save dialog.
// A save whose download never comes expires. Times are milliseconds of a
// monotonic clock, passed in so the rules can be checked without waiting.
class TPendingSaves
{
public:
    struct TSave
    {
        QUrl Url;
        QString Path;
        std::function<void(bool ok)> Done;
        qint64 Deadline = 0;
    };

    // How long a save waits for its download.
    static constexpr qint64 LifetimeMs = 60000;

    void Add(const QUrl& url, const QString& path, std::function<void(bool ok)> done, qint64 now);

    // The oldest save still waiting for exactly url (fragments aside: they
    // never reach the server), taken out; nullopt when there is none.
    std::optional<TSave> Take(const QUrl& url, qint64 now);

    // The saves whose time is up, taken out, oldest first.
    std::vector<TSave> TakeExpired(qint64 now);

    std::size_t Size() const { return FSaves.size(); }

private:
    std::vector<TSave> FSaves; // oldest first
};
