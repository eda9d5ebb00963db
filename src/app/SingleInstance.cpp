#include "SingleInstance.h"

#include "config/ConfigFile.h"

TInstanceRole CheckSingleInstance(TInstanceLock& lock, const QString& lockName, const QString& configPath,
                                  const std::function<void(qint64 handle)>& post)
{
    if (lock.Create(lockName) != TInstanceLock::TResult::AlreadyExists)
        return TInstanceRole::Main;
    const qint64 handle = TConfigFile(configPath).ReadHandle();
    if (handle > 0 && post)
        post(handle);
    lock.Release();
    return TInstanceRole::HandedOver;
}
