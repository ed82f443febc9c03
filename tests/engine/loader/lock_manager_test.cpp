// The lock manager: its operations on a handle slot, their log lines, and mutual exclusion.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/loader/FFLockManager.h"
#include "engine/log/FFLog.h"
#include "platform/Thread.h"
#include "tests/common/LogCapture.h"

namespace {

class LockManagerTest : public ::testing::Test {
protected:
    void SetUp() override { logger.SetLogLevel(llDebug); }
    void TearDown() override {
        if (slot) LockManager(&slot, lockDestroy);
    }

    std::string Last() { return log.Last().Text; }
    TLogLevel LastLevel() { return log.Last().Level; }

    TFFLogger logger;
    testsupport::TLogCapture log{logger};
    void* slot = nullptr;
};

TEST_F(LockManagerTest, OperationsReportWhatTheyDid) {
    ASSERT_EQ(LockManager(&slot, lockCreate), 0);
    ASSERT_NE(slot, nullptr);
    const std::string created = Last();
    ASSERT_EQ(created.rfind("[lock manager] mutex [", 0), 0u);
    const std::string id = created.substr(22, created.find(']', 22) - 22);
    EXPECT_EQ(created, "[lock manager] mutex [" + id + "] created.");
    EXPECT_EQ(LastLevel(), llDebug);

    EXPECT_EQ(LockManager(&slot, lockCreate), -1);
    EXPECT_EQ(Last(), "[lock manager] error, mutex [" + id + "] already exist.");
    EXPECT_EQ(LastLevel(), llError);

    EXPECT_EQ(LockManager(&slot, lockObtain), 0);
    EXPECT_EQ(Last(), "[lock manager] mutex [" + id + "] obtained.");
    EXPECT_EQ(LockManager(&slot, lockRelease), 0);
    EXPECT_EQ(Last(), "[lock manager] mutex [" + id + "] release.");

    EXPECT_EQ(LockManager(&slot, 9), -1);
    EXPECT_EQ(Last(), "[lock manager] error, invalid mutex operation 9.");

    EXPECT_EQ(LockManager(&slot, lockDestroy), 0);
    EXPECT_EQ(Last(), "[lock manager] mutex [" + id + "] destroyed.");
    EXPECT_EQ(slot, nullptr);
}

TEST_F(LockManagerTest, SlotWithoutMutexFails) {
    EXPECT_EQ(LockManager(&slot, lockObtain), -1);
    EXPECT_EQ(Last(), "[lock manager] error, mutex not available.");
    EXPECT_EQ(LockManager(&slot, lockRelease), -1);
    EXPECT_EQ(LockManager(&slot, lockDestroy), -1);
    EXPECT_EQ(Last(), "[lock manager] error, mutex not available.");
    EXPECT_EQ(slot, nullptr);  // the node is gone all the same
}

TEST_F(LockManagerTest, OnlyTheOwnerReleases) {
    ASSERT_EQ(LockManager(&slot, lockCreate), 0);
    ASSERT_EQ(LockManager(&slot, lockObtain), 0);
    ASSERT_EQ(LockManager(&slot, lockObtain), 0);  // the owner may take it again
    int otherResult = 0;
    TThread other([&](TThread&) { otherResult = LockManager(&slot, lockRelease); });
    other.Start();
    other.WaitFor();
    EXPECT_EQ(otherResult, -1);
    EXPECT_NE(Last().find("error, could not release mutex ["), std::string::npos) << Last();
    EXPECT_EQ(LockManager(&slot, lockRelease), 0);
    EXPECT_EQ(LockManager(&slot, lockRelease), 0);
    EXPECT_EQ(LockManager(&slot, lockRelease), -1);  // no longer held
}

TEST_F(LockManagerTest, MutexKeepsThreadsApart) {
    ASSERT_EQ(LockManager(&slot, lockCreate), 0);
    logger.SetLogLevel(llInfo);
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    auto body = [&](TThread&) {
        for (int i = 0; i < 2000; ++i) {
            LockManager(&slot, lockObtain);
            if (inside.fetch_add(1) != 0) overlapped = true;
            std::this_thread::yield();
            inside.fetch_sub(1);
            LockManager(&slot, lockRelease);
        }
    };
    TThread a(body), b(body);
    a.Start();
    b.Start();
    a.WaitFor();
    b.WaitFor();
    EXPECT_FALSE(overlapped);
}

}  // namespace
