// Work on a thread of its own with its result handed to the GUI thread: only the newest run's
// result arrives, and a cancelled run's never, even when it was already on its way.
#include <QTest>
#include <QThread>
#include <atomic>
#include <thread>

#include "app/widgets/BackgroundRun.h"
#include "tests/app/gui/GuiTestSupport.h"

namespace {

using guitest::ProcessEventsUntil;

// Work that runs until it is cancelled or let go, and gives `value`.
struct TGate {
    std::atomic<bool> open{false};
    std::atomic<int> started{0};
    std::atomic<int> sawCancel{0};

    TBackgroundRun<int>::TWork Work(int value) {
        return [this, value](const std::atomic<bool>& cancelled) {
            ++started;
            while (!open && !cancelled) std::this_thread::yield();
            if (cancelled) ++sawCancel;
            return value;
        };
    }
};

class BackgroundRunTest : public ::testing::Test {
protected:
    guitest::TApplicationFirst application_;
};

TEST_F(BackgroundRunTest, OnlyTheNewestRunsResultArrivesOnTheGuiThread) {
    TGate gate;
    std::vector<int> results;
    std::vector<bool> onGuiThread;
    TBackgroundRun<int> run;
    const auto done = [&](const int& result) {
        results.push_back(result);
        onGuiThread.push_back(QThread::currentThread() == qApp->thread());
    };
    run.Start(gate.Work(1), done);
    ASSERT_TRUE(ProcessEventsUntil([&] { return gate.started == 1; }));
    // A second run cancels the first and waits for it to notice.
    run.Start(gate.Work(2), done);
    EXPECT_EQ(gate.sawCancel, 1);
    EXPECT_TRUE(run.Running());
    gate.open = true;
    ASSERT_TRUE(ProcessEventsUntil([&] { return !results.empty(); }));
    QTest::qWait(50);
    EXPECT_EQ(results, std::vector<int>{2});
    EXPECT_EQ(onGuiThread, std::vector<bool>{true});
    EXPECT_FALSE(run.Running());
}

TEST_F(BackgroundRunTest, ACancelledRunsResultNeverArrives) {
    TGate gate;
    int results = 0;
    TBackgroundRun<int> run;
    // Finished, its result on its way, then cancelled before the GUI thread took it.
    gate.open = true;
    run.Start(gate.Work(1), [&](const int&) { ++results; });
    while (gate.started == 0) std::this_thread::yield();
    run.Cancel();
    EXPECT_FALSE(run.Running());
    QTest::qWait(50);
    EXPECT_EQ(results, 0);

    // Asked to stop without waiting: the result is dropped all the same.
    gate.open = false;
    run.Start(gate.Work(2), [&](const int&) { ++results; });
    run.RequestCancel();
    EXPECT_FALSE(run.Running());
    QTest::qWait(50);
    EXPECT_EQ(gate.sawCancel, 1);
    EXPECT_EQ(results, 0);
}

}  // namespace
