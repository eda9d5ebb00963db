#pragma once

#include "platform/InstanceLock.h"

#include <functional>

enum class TInstanceRole { Main, HandedOver, Failed };

// Takes the lock of the data folder lockFolder: one data folder has one
// running client, whoever starts it. When another instance holds it, reads
// that instance's window handle from configPath, hands over to it through
// post (only for a handle greater than 0) and gives HandedOver. A lock that
// cannot be made at all gives Failed: running unlocked, two engines would
// share one profile.
TInstanceRole CheckSingleInstance(TInstanceLock& lock, const QString& lockName, const QString& lockFolder,
                                  const QString& configPath, const std::function<void(qint64 handle)>& post);
