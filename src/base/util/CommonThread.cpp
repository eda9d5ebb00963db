#include "util/CommonThread.h"

#include "platform/Platform.h"

#include <QCoreApplication>

#include <chrono>
#include <exception>
#include <thread>

namespace {
std::atomic<int> gLiveThreads{0};
} // namespace

TCommonThread::TCommonThread()
{
    ++gLiveThreads;
}

TCommonThread::~TCommonThread()
{
    --gLiveThreads;
}

int TCommonThread::LiveCount()
{
    return gLiveThreads;
}

void TCommonThread::SetTask(TMethod task)
{
    FTask = std::move(task);
}

void TCommonThread::Start()
{
    std::thread([this] { Run(); }).detach();
}

void TCommonThread::Run()
{
    Platform::LowerCurrentThreadPriority();
    try {
        Execute();
    } catch (...) {
        // A failing task ends the thread silently; the error goes with it.
    }
    delete this;
}

void TCommonThread::Execute()
{
    int runs = 0;
    while (!FTerminated) {
        const int maxRuns = FMaxRuns;
        if (FActive && (runs < maxRuns || maxRuns == -1)) {
            if (!FPaused) {
                RunTask();
                ++runs;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(qMax(0, FInterval.load())));
            continue;
        }
        if (FOnFinished)
            FOnFinished();
        break;
    }
}

void TCommonThread::RunTask()
{
    QCoreApplication* const app = QCoreApplication::instance();
    if (!FSynchronized || !app) {
        FTask();
        return;
    }
    std::exception_ptr failure;
    QMetaObject::invokeMethod(
        app,
        [this, &failure] {
            try {
                FTask();
            } catch (...) {
                failure = std::current_exception();
            }
        },
        Qt::BlockingQueuedConnection);
    if (failure)
        std::rethrow_exception(failure);
}
