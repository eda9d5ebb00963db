#include "engine/PendingSaves.h"

#include <algorithm>

namespace {

bool SameAddress(const QUrl& a, const QUrl& b)
{
    return a.adjusted(QUrl::RemoveFragment) == b.adjusted(QUrl::RemoveFragment);
}

} // namespace

void TPendingSaves::Add(const QUrl& url, const QString& path, std::function<void(bool ok)> done, qint64 now)
{
    FSaves.push_back({url, path, std::move(done), now + LifetimeMs});
}

std::optional<TPendingSaves::TSave> TPendingSaves::Take(const QUrl& url, qint64 now)
{
    const auto found = std::find_if(FSaves.begin(), FSaves.end(), [&](const TSave& save) {
        return now < save.Deadline && SameAddress(save.Url, url);
    });
    if (found == FSaves.end())
        return std::nullopt;
    TSave save = std::move(*found);
    FSaves.erase(found);
    return save;
}

std::vector<TPendingSaves::TSave> TPendingSaves::TakeExpired(qint64 now)
{
    std::vector<TSave> expired;
    const auto kept = std::stable_partition(FSaves.begin(), FSaves.end(),
                                            [now](const TSave& save) { return now < save.Deadline; });
    std::move(kept, FSaves.end(), std::back_inserter(expired));
    FSaves.erase(kept, FSaves.end());
    return expired;
}
