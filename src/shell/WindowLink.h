#pragma once

#include <functional>
#include <mutex>

class TFormMain;

// Lets a background task reach the main window only while it exists: the
// window detaches itself when it is destroyed, and a task that finishes
// later finds nothing and drops its result.
class TWindowLink
{
public:
    explicit TWindowLink(TFormMain* window)
        : FWindow(window)
    {
    }

    void Detach()
    {
        const std::lock_guard guard(FLock);
        FWindow = nullptr;
    }

    // Runs work with the window while holding it alive; false when it is gone.
    bool With(const std::function<void(TFormMain&)>& work)
    {
        const std::lock_guard guard(FLock);
        if (!FWindow)
            return false;
        work(*FWindow);
        return true;
    }

private:
    std::mutex FLock;
    TFormMain* FWindow;
};
