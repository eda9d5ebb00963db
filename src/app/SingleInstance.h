#pragma once

#include "platform/InstanceLock.h"

#include <functional>

enum class TInstanceRole { Main, HandedOver };

// Takes the per-session lock. When another instance holds it, reads that
// instance's window handle from configPath, hands over to it through post
// (only for a handle greater than 0) and gives HandedOver. A lock that
// cannot be made at all lets this start go on as the main instance.
TInstanceRole CheckSingleInstance(TInstanceLock& lock, const QString& lockName, const QString& configPath,
                                  const std::function<void(qint64 handle)>& post);
