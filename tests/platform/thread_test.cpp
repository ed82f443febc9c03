// Main-thread calls, worker threads, events and critical sections.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/MainThread.h"
#include "platform/Thread.h"

namespace {

TEST(MainThreadTest, TheProgramsThreadIsTheMainThread) {
    EXPECT_TRUE(IsMainThread());
    bool onMain = true;
    TThread worker([&](TThread&) { onMain = IsMainThread(); });
    worker.Start();
    worker.WaitFor();
    EXPECT_FALSE(onMain);
}

TEST(MainThreadTest, SynchronizeRunsOnTheMainThreadAndWaits) {
    std::vector<int> order;
    bool ranOnMain = false;
    TThread worker([&](TThread&) {
        Synchronize([&] {
            ranOnMain = IsMainThread();
            order.push_back(1);
        });
        order.push_back(2);  // only after the main thread has run the call
    });
    worker.Start();
    while (!worker.Finished()) WaitForSynchronize(10);
    worker.WaitFor();
    EXPECT_TRUE(ranOnMain);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

TEST(MainThreadTest, SynchronizeOnTheMainThreadRunsAtOnce) {
    bool ran = false;
    Synchronize([&] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_FALSE(CheckSynchronize());
}

TEST(MainThreadTest, ExceptionReachesTheCaller) {
    std::string caught;
    TThread worker([&](TThread&) {
        try {
            Synchronize([] { throw std::runtime_error("from main"); });
        } catch (const std::runtime_error& e) {
            caught = e.what();
        }
    });
    worker.Start();
    while (!worker.Finished()) WaitForSynchronize(10);
    worker.WaitFor();
    EXPECT_EQ(caught, "from main");
}

TEST(MainThreadTest, WakeHookRunsWhenACallIsQueued) {
    TEvent woken;
    SetWakeMainThreadHook([&] { woken.SetEvent(); });
    TThread worker([](TThread&) { Synchronize([] {}); });
    worker.Start();
    woken.WaitFor();
    EXPECT_TRUE(CheckSynchronize());
    worker.WaitFor();
    SetWakeMainThreadHook(nullptr);
}

TEST(MainThreadTest, OnlyTheMainThreadRunsQueuedCalls) {
    std::atomic<bool> ranElsewhere{true};
    TThread worker([&](TThread&) { ranElsewhere = CheckSynchronize(); });
    worker.Start();
    worker.WaitFor();
    EXPECT_FALSE(ranElsewhere);
}

TEST(ThreadTest, TerminateIsSeenByTheWorker) {
    TEvent started;
    int rounds = 0;
    TThread worker([&](TThread& self) {
        started.SetEvent();
        while (!self.Terminated()) ++rounds;
    });
    bool terminated = false;
    worker.OnTerminate = [&](TThread&) { terminated = true; };
    worker.Start();
    started.WaitFor();
    worker.Terminate();
    worker.WaitFor();
    EXPECT_TRUE(worker.Finished());
    EXPECT_TRUE(terminated);
    EXPECT_NE(worker.ThreadID(), 0u);
    EXPECT_NE(worker.ThreadID(), CurrentThreadId());
}

TEST(ThreadTest, ExceptionInExecuteIsKept) {
    TThread worker([](TThread&) { throw std::runtime_error("failed"); });
    worker.Start();
    worker.WaitFor();
    ASSERT_TRUE(worker.FatalException());
    EXPECT_THROW(std::rethrow_exception(worker.FatalException()), std::runtime_error);
}

TEST(ThreadTest, FreeOnTerminateDeletesTheObject) {
    struct TCounted : TThread {
        TCounted(std::atomic<int>& live, TEvent& gone) : live_(live), gone_(gone) { ++live_; }
        ~TCounted() override {
            --live_;
            gone_.SetEvent();
        }
        void Execute() override {}
        std::atomic<int>& live_;
        TEvent& gone_;
    };
    std::atomic<int> live{0};
    TEvent gone;
    auto* worker = new TCounted(live, gone);
    worker->SetFreeOnTerminate(true);
    worker->Start();
    gone.WaitFor();
    EXPECT_EQ(live, 0);
}

TEST(ThreadTest, NameIsCutToWhatTheSystemKeepsAndPassedToNewThreads) {
    const std::string mainName = CurrentThreadName();
    std::string named, cut, inherited;
    TThread worker([&](TThread&) {
        SetCurrentThreadName("worker");
        named = CurrentThreadName();
        SetCurrentThreadName("a-name-of-twenty-six-bytes");
        cut = CurrentThreadName();
        std::thread child([&] { inherited = CurrentThreadName(); });
        child.join();
    });
    worker.Start();
    worker.WaitFor();
    EXPECT_EQ(named, "worker");
    EXPECT_EQ(cut, "a-name-of-twent");
    EXPECT_EQ(inherited, "a-name-of-twent");
    EXPECT_EQ(CurrentThreadName(), mainName);  // each thread has a name of its own
}

TEST(EventTest, ManualAndAutoReset) {
    TEvent manual(true, false);
    EXPECT_EQ(manual.WaitFor(0), TWaitResult::wrTimeout);
    manual.SetEvent();
    EXPECT_EQ(manual.WaitFor(0), TWaitResult::wrSignaled);
    EXPECT_EQ(manual.WaitFor(0), TWaitResult::wrSignaled);
    manual.ResetEvent();
    EXPECT_EQ(manual.WaitFor(1), TWaitResult::wrTimeout);

    TEvent automatic(false, true);
    EXPECT_EQ(automatic.WaitFor(0), TWaitResult::wrSignaled);
    EXPECT_EQ(automatic.WaitFor(0), TWaitResult::wrTimeout);
}

TEST(EventTest, SetFromAnotherThreadWakesTheWaiter) {
    TEvent event(false);
    TThread worker([&](TThread&) { event.SetEvent(); });
    worker.Start();
    EXPECT_EQ(event.WaitFor(-1), TWaitResult::wrSignaled);
    worker.WaitFor();
}

TEST(CriticalSectionTest, OwnerMayEnterAgainOthersWait) {
    TCriticalSection section;
    section.Enter();
    section.Enter();
    bool otherGotIn = true;
    TThread other([&](TThread&) {
        otherGotIn = section.TryEnter();
        if (otherGotIn) section.Leave();
    });
    other.Start();
    other.WaitFor();
    EXPECT_FALSE(otherGotIn);
    section.Leave();
    section.Leave();
}

}  // namespace
