#pragma once

#include <QThread>

#include <atomic>
#include <functional>

// Runs one method once or repeatedly, with a pause after every pass, on a
// low-priority thread of its own. Created suspended; after Start the owner
// lets go of it: the thread frees itself when its body ends.
class TCommonThread : public QThread
{
    Q_OBJECT

public:
    using TMethod = std::function<void()>;

    TCommonThread();

    std::atomic<int> FInterval{100};      // pause after every pass, ms
    std::atomic<bool> FSynchronized{true}; // run the task on the main thread, waiting for it
    std::atomic<bool> FActive{true};       // false ends the loop at the next pass
    std::atomic<bool> FPaused{false};      // passes go on, the task is not run
    std::atomic<int> FMaxRuns{-1};         // runs before the loop ends; -1: no limit
    TMethod FOnFinished;                   // called on the worker when the loop ends by itself

    void SetTask(TMethod task);
    void Start();

protected:
    void run() override;

private:
    void Execute();
    void RunTask();

    TMethod FTask;
};
