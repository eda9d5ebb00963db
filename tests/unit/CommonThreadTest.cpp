#include "platform/Platform.h"
#include "util/CommonThread.h"

#include "TestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <atomic>
#include <stdexcept>

#include <gtest/gtest.h>

namespace {

// Counts what a thread did and notices when it has freed itself.
struct TProbe
{
    std::atomic<int> Runs{0};
    std::atomic<int> Finished{0};
    const int LiveBefore = TCommonThread::LiveCount();

    TCommonThread* Make(int maxRuns, int interval = 10)
    {
        auto* thread = new TCommonThread(); // frees itself after its body ends
        thread->FSynchronized = false;
        thread->FMaxRuns = maxRuns;
        thread->FInterval = interval;
        thread->SetTask([this] { ++Runs; });
        thread->FOnFinished = [this] { ++Finished; };
        return thread;
    }
    bool Gone() { return WaitUntil([this] { return TCommonThread::LiveCount() == LiveBefore; }); }
};

TEST(CommonThread, NeverRunsWhenThereIsNothingToRun)
{
    for (const int maxRuns : {0, -2, -100}) {
        TProbe probe;
        probe.Make(maxRuns)->Start();
        ASSERT_TRUE(probe.Gone()) << maxRuns;
        EXPECT_EQ(probe.Runs, 0) << maxRuns;
        EXPECT_EQ(probe.Finished, 1) << maxRuns;
    }
    TProbe inactive;
    TCommonThread* thread = inactive.Make(-1);
    thread->FActive = false;
    thread->Start();
    ASSERT_TRUE(inactive.Gone());
    EXPECT_EQ(inactive.Runs, 0);
    EXPECT_EQ(inactive.Finished, 1);
}

TEST(CommonThread, RunsOnceThenPausesThenFinishes)
{
    TProbe probe;
    QElapsedTimer timer;
    timer.start();
    probe.Make(1, 200)->Start();
    ASSERT_TRUE(probe.Gone());
    EXPECT_EQ(probe.Runs, 1);
    EXPECT_EQ(probe.Finished, 1);
    EXPECT_GE(timer.elapsed(), 200); // the pause comes after the run, before the end

    TProbe three;
    three.Make(3, 1)->Start();
    ASSERT_TRUE(three.Gone());
    EXPECT_EQ(three.Runs, 3);
}

TEST(CommonThread, PausedPassesRunNothingUntilResumed)
{
    TProbe probe;
    TCommonThread* thread = probe.Make(-1, 5);
    thread->FPaused = true;
    thread->Start();
    QThread::msleep(100);
    EXPECT_EQ(probe.Runs, 0);
    thread->FPaused = false;
    ASSERT_TRUE(WaitUntil([&] { return probe.Runs >= 2; }));
    thread->FActive = false;
    ASSERT_TRUE(probe.Gone());
    EXPECT_EQ(probe.Finished, 1);
}

TEST(CommonThread, FailingTaskEndsSilentlyWithoutFinishing)
{
    TProbe probe;
    TCommonThread* thread = probe.Make(-1, 1);
    thread->SetTask([&probe] {
        ++probe.Runs;
        throw std::runtime_error("task failed");
    });
    thread->Start();
    ASSERT_TRUE(probe.Gone());
    EXPECT_EQ(probe.Runs, 1);
    EXPECT_EQ(probe.Finished, 0);
}

TEST(CommonThread, WorkerRunsAtLowPriorityAndSynchronizedRunsOnTheMainThread)
{
    TProbe probe;
    std::atomic<int> niceness{-100};
    std::atomic<bool> onMain{false};
    TCommonThread* worker = probe.Make(1, 1);
    worker->SetTask([&] { niceness = Platform::CurrentThreadNiceness(); });
    worker->Start();
    ASSERT_TRUE(probe.Gone());
    EXPECT_GT(niceness.load(), Platform::CurrentThreadNiceness());

    TProbe synced;
    TCommonThread* thread = synced.Make(1, 1);
    thread->FSynchronized = true;
    thread->SetTask([&] { onMain = QThread::currentThread() == QCoreApplication::instance()->thread(); });
    thread->Start();
    ASSERT_TRUE(synced.Gone());
    EXPECT_TRUE(onMain);
}

} // namespace
