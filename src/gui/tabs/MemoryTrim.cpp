#include "tabs/MemoryTrim.h"

#include "tabs/TabRegistry.h"

TMemoryTrim::TMemoryTrim(TTabRegistry& registry, TRelease release, int quietMs, QObject* parent)
    : QObject(parent), FRelease(std::move(release))
{
    // A burst of closes (a chain of popups) is released once, after it.
    FQuiet.setSingleShot(true);
    FQuiet.setInterval(quietMs);
    connect(&FQuiet, &QTimer::timeout, this, [this] { FRelease(); });
    connect(&registry, &TTabRegistry::TabRemoved, this, [this] { FQuiet.start(); });
}
