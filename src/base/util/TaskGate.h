#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

// Holds a background worker back until the main thread lets it go, or
// until a time limit passes, so work that nobody waits for stays out of
// the way of work that someone does.
class TTaskGate
{
public:
    void Open()
    {
        {
            const std::lock_guard guard(FLock);
            FOpen = true;
        }
        FOpened.notify_all();
    }

    // True when opened, false when the limit ran out first.
    bool WaitFor(std::chrono::milliseconds limit)
    {
        std::unique_lock guard(FLock);
        return FOpened.wait_for(guard, limit, [this] { return FOpen; });
    }

private:
    std::mutex FLock;
    std::condition_variable FOpened;
    bool FOpen = false;
};
