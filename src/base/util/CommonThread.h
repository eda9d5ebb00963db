#pragma once

#include <atomic>
#include <functional>

// Runs one method once or repeatedly, with a pause after every pass, on a
// low-priority thread of its own. Created suspended; after Start the owner
// lets go of it: the object deletes itself when its body ends. A worker
// still running when the process ends simply ends with it, so it holds
// nothing that the end of the program tears down.
class TCommonThread
{
public:
    using TMethod = std::function<void()>;

    TCommonThread();
    ~TCommonThread();
    TCommonThread(const TCommonThread&) = delete;
    TCommonThread& operator=(const TCommonThread&) = delete;

    std::atomic<int> FInterval{100};      // pause after every pass, ms
    std::atomic<bool> FSynchronized{true}; // run the task on the main thread, waiting for it
    std::atomic<bool> FActive{true};       // false ends the loop at the next pass
    std::atomic<bool> FPaused{false};      // passes go on, the task is not run
    std::atomic<int> FMaxRuns{-1};         // runs before the loop ends; -1: no limit
    TMethod FOnFinished;                   // called on the worker when the loop ends by itself

    void SetTask(TMethod task);
    // Starts the body; from here on the object belongs to its thread.
    void Start();
    // Asks the loop to end at its next pass.
    void Terminate() { FTerminated = true; }

    // How many thread objects exist (tests use it to see them free themselves).
    static int LiveCount();

private:
    void Run();
    void Execute();
    void RunTask();

    TMethod FTask;
    std::atomic<bool> FTerminated{false};
};
