#pragma once

#include <QString>

// A per-user lock that the operating system releases when the process dies,
// so a crashed instance never blocks the next start.
class TInstanceLock
{
public:
    enum class TResult { Acquired, AlreadyExists, Failed };

    TInstanceLock() = default;
    ~TInstanceLock();
    TInstanceLock(const TInstanceLock&) = delete;
    TInstanceLock& operator=(const TInstanceLock&) = delete;

    // Tries to take the lock named name, in folder (by default LockFolder()),
    // without waiting.
    TResult Create(const QString& name, const QString& folder = QString());
    // Gives the lock back; harmless when it is not held.
    void Release();
    bool IsHeld() const { return FHandle >= 0; }

    // Where the lock files live (for tests and diagnostics).
    static QString LockFolder();

private:
    int FHandle = -1;
};
