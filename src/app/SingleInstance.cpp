#include "SingleInstance.h"

#include "config/ConfigFile.h"

TInstanceRole CheckSingleInstance(TInstanceLock& lock, const QString& lockName, const QString& lockFolder,
                                  const QString& configPath, const std::function<void(qint64 handle)>& post)
{
    const TInstanceLock::TResult result = lock.Create(lockName, lockFolder);
    if (result == TInstanceLock::TResult::Acquired)
        return TInstanceRole::Main;
    if (result == TInstanceLock::TResult::Failed)
        return TInstanceRole::Failed;
    const qint64 handle = TConfigFile(configPath).ReadHandle();
    if (handle > 0 && post)
        post(handle);
    lock.Release();
    return TInstanceRole::HandedOver;
}
