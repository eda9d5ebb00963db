#pragma once

#include <QMetaObject>
#include <QObject>

#include <functional>
#include <memory>
#include <mutex>

// Lets a background worker hand a result to an object on the main thread
// only while that object exists: the object detaches the link when it is
// destroyed, and a worker that finishes later finds nothing and drops its
// result. What is delivered runs queued, on the object's thread.
class TTaskLink
{
public:
    explicit TTaskLink(QObject* target)
        : FTarget(target)
    {
    }

    void Detach()
    {
        const std::lock_guard guard(FLock);
        FTarget = nullptr;
    }

    bool Attached()
    {
        const std::lock_guard guard(FLock);
        return FTarget != nullptr;
    }

    // Queues work for the target's thread; false when the target is gone.
    // Qt drops the call if the target is destroyed before it runs.
    bool Deliver(std::function<void()> work)
    {
        const std::lock_guard guard(FLock);
        if (!FTarget)
            return false;
        QMetaObject::invokeMethod(FTarget, std::move(work), Qt::QueuedConnection);
        return true;
    }

private:
    std::mutex FLock;
    QObject* FTarget;
};
