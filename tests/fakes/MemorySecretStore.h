#pragma once

#include "platform/SecretStore.h"

#include <QHash>

// The desktop's secret store, in memory; Available false stands for a
// desktop without one (writes fail).
class TMemorySecretStore final : public TSecretStore
{
public:
    std::optional<QString> Read(const QString& key) override
    {
        return Entries.contains(key) ? std::optional<QString>(Entries.value(key)) : std::nullopt;
    }
    bool Write(const QString& key, const QString& secret) override
    {
        if (Available)
            Entries.insert(key, secret);
        return Available;
    }
    void Remove(const QString& key) override { Entries.remove(key); }

    QHash<QString, QString> Entries;
    bool Available = true;
};
