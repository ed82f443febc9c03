#include "engine/frames/FrameHook.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "platform/FileSystem.h"
#include "platform/Module.h"
#include "tests/common/LogCapture.h"
#include "tests/engine/media_test_support.h"

namespace {

const std::string kHookDir = CLIPGIF_HOOK_DIR;
const std::string kFullHook = kHookDir + "/hook_full.so";
const std::string kProcessOnlyHook = kHookDir + "/hook_process_only.so";
const std::string kHookWithoutProcess = kHookDir + "/hook_no_process.so";

// What the full test module (the one the engine loaded) has seen so far.
struct THookStats {
    int Configured = 0, Processed = 0, Released = 0;
    long long Timestamp = 0;
    char Order[32] = "";
};

THookStats HookStats() {
    auto stats = reinterpret_cast<const char* (*)()>(
        ModuleSymbol(LoadModule(kFullHook, nullptr), "HookStats", nullptr));
    THookStats result;
    std::sscanf(stats(), "%d %d %d %lld %31s", &result.Configured, &result.Processed,
                &result.Released, &result.Timestamp, result.Order);
    return result;
}

class FrameHookTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { mediatest::LoadMediaLibraries(); }
    testsupport::TLogCapture log;
    uint8_t pixels[4 * 8] = {};
    TPicture picture{{pixels, nullptr, nullptr, nullptr}, {8, 0, 0, 0}};
};

TEST_F(FrameHookTest, HooksAreConfiguredProcessedInOrderAndReleased) {
    const THookStats before = HookStats();
    {
        TFrameHookList hooks;
        ASSERT_EQ(AddFrameHook(hooks, {kFullHook, "1"}), 0);
        ASSERT_EQ(AddFrameHook(hooks, {kFullHook, "2"}), 0);
        ProcessFrameHooks(hooks, &picture, 8, 8, 4, 1234567);
        const THookStats after = HookStats();
        EXPECT_EQ(after.Configured - before.Configured, 2);
        EXPECT_EQ(after.Processed - before.Processed, 2);
        EXPECT_EQ(after.Timestamp, 1234567);
        EXPECT_EQ(std::string(after.Order).substr(std::strlen(before.Order)), "12");
        EXPECT_EQ(pixels[3 * 8], 2);  // the last hook ran last
        ReleaseFrameHooks(hooks);
        EXPECT_TRUE(hooks.Empty());
        EXPECT_EQ(HookStats().Released - before.Released, 2);
        ASSERT_EQ(AddFrameHook(hooks, {kFullHook}), 0);
    }  // the list releases what is left
    EXPECT_EQ(HookStats().Released - before.Released, 3);
    EXPECT_TRUE(log.Errors().empty());
}

TEST_F(FrameHookTest, ModuleWithOnlyProcessTakesNoArguments) {
    TFrameHookList hooks;
    EXPECT_EQ(AddFrameHook(hooks, {kProcessOnlyHook, "extra"}), -2);
    EXPECT_TRUE(log.Logged(llError, "Failed to find Configure entrypoint in " + kProcessOnlyHook));
    ASSERT_EQ(AddFrameHook(hooks, {kProcessOnlyHook}), 0);
    ProcessFrameHooks(hooks, &picture, 8, 8, 4, 0);
    EXPECT_EQ(pixels[0], 99);
}

TEST_F(FrameHookTest, RefusedModulesAreReportedAndNotAdded) {
    TFrameHookList hooks;
    EXPECT_EQ(AddFrameHook(hooks, {}), -2);
    EXPECT_EQ(AddFrameHook(hooks, {kHookWithoutProcess}), -2);
    EXPECT_TRUE(log.Logged(llError, "Failed to find Process entrypoint in " + kHookWithoutProcess));
    EXPECT_EQ(AddFrameHook(hooks, {kFullHook, "refuse"}), -22);
    EXPECT_TRUE(log.Logged(llError, "Failed to Configure " + kFullHook));
    EXPECT_EQ(AddFrameHook(hooks, {kHookDir + "/no_such_hook.so"}), -1);
    ASSERT_FALSE(log.Errors().empty());
    EXPECT_NE(log.Errors().back().find("no_such_hook.so"), std::string::npos);
    EXPECT_TRUE(hooks.Empty());
}

TEST_F(FrameHookTest, BareNameIsFoundInTheCurrentFolder) {
    const std::string previous = GetCurrentDir();
    ASSERT_TRUE(SetCurrentDir(kHookDir));
    TFrameHookList hooks;
    const int result = AddFrameHook(hooks, {"hook_process_only.so"});
    SetCurrentDir(previous);
    EXPECT_EQ(result, 0);
}

}  // namespace
