#include "util/CommonThread.h"

#include "platform/Platform.h"

#include <QCoreApplication>

#include <exception>

TCommonThread::TCommonThread()
{
    connect(this, &QThread::finished, this, &QObject::deleteLater);
}

void TCommonThread::SetTask(TMethod task)
{
    FTask = std::move(task);
}

void TCommonThread::Start()
{
    start(QThread::LowestPriority);
}

void TCommonThread::run()
{
    Platform::LowerCurrentThreadPriority();
    try {
        Execute();
    } catch (...) {
        // A failing task ends the thread silently; the error goes with it.
    }
}

void TCommonThread::Execute()
{
    int runs = 0;
    while (!isInterruptionRequested()) {
        const int maxRuns = FMaxRuns;
        if (FActive && (runs < maxRuns || maxRuns == -1)) {
            if (!FPaused) {
                RunTask();
                ++runs;
            }
            msleep(static_cast<unsigned long>(qMax(0, FInterval.load())));
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
