#pragma once

#include <QString>

#include <memory>
#include <optional>

// Where the passwords a user chose to keep go: the desktop's secret store,
// never a file of the program. Each call waits for the store (letting other
// events run meanwhile), a bounded time: a store that does not answer counts
// as none.
class TSecretStore
{
public:
    virtual ~TSecretStore() = default;

    // Nothing when nothing is kept under key or the store cannot be reached.
    virtual std::optional<QString> Read(const QString& key) = 0;
    // False when the store cannot keep it (this desktop has none).
    virtual bool Write(const QString& key, const QString& secret) = 0;
    virtual void Remove(const QString& key) = 0;
};

// The desktop's store (Secret Service, KWallet), entries under this program's name.
std::unique_ptr<TSecretStore> NewDesktopSecretStore();
