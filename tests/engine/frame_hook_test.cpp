#include "engine/FrameHook.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <vector>

#include "platform/FileSystem.h"
#include "platform/Module.h"
#include "tests/engine/media_test_support.h"

namespace {

const std::string kHookDir = CLIPGIF_HOOK_DIR;
const std::string kFullHook = kHookDir + "/hook_full.so";
const std::string kProcessOnlyHook = kHookDir + "/hook_process_only.so";
const std::string kHookWithoutProcess = kHookDir + "/hook_no_process.so";

struct THookStats {
    int Configured = 0;
    int Processed = 0;
    int Released = 0;
    int64_t Timestamp = 0;
    std::string Order;
};

// What the full test module has seen so far (the module is the same one the engine loaded).
THookStats FullHookStats() {
    using TStats = void (*)(int*, int*, int*, int64_t*, const char**);
    TModuleHandle module = LoadModule(kFullHook, nullptr);
    auto stats = reinterpret_cast<TStats>(ModuleSymbol(module, "HookStats", nullptr));
    THookStats result;
    const char* order = nullptr;
    stats(&result.Configured, &result.Processed, &result.Released, &result.Timestamp, &order);
    result.Order = order;
    return result;
}

int ProcessOnlyCount() {
    TModuleHandle module = LoadModule(kProcessOnlyHook, nullptr);
    return reinterpret_cast<int (*)()>(ModuleSymbol(module, "ProcessedCount", nullptr))();
}

// A small grey 8-bit picture.
struct TTestPicture {
    static constexpr int Width = 8, Height = 4;
    std::vector<uint8_t> Pixels = std::vector<uint8_t>(Width * Height, 0x80);
    TPicture Picture{{Pixels.data(), nullptr, nullptr, nullptr}, {Width, 0, 0, 0}};
};

class FrameHookTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { mediatest::LoadMediaLibraries(); }
    mediatest::TLogCapture log;
};

TEST_F(FrameHookTest, ConfiguredHooksProcessInOrderAndAreReleased) {
    const THookStats before = FullHookStats();
    TFrameHookList hooks;
    ASSERT_EQ(AddFrameHook(hooks, {kFullHook, "1"}), 0);
    ASSERT_EQ(AddFrameHook(hooks, {kFullHook, "2"}), 0);
    EXPECT_EQ(hooks.Count(), 2u);

    TTestPicture picture;
    ProcessFrameHooks(hooks, &picture.Picture, 8 /* gray */, TTestPicture::Width,
                      TTestPicture::Height, 1234567);
    // The second hook ran last, so its mark is what the rows start with.
    for (int y = 0; y < TTestPicture::Height; ++y) {
        EXPECT_EQ(picture.Pixels[y * TTestPicture::Width], 2);
        EXPECT_EQ(picture.Pixels[y * TTestPicture::Width + 1], 0x80);
    }
    THookStats after = FullHookStats();
    EXPECT_EQ(after.Configured - before.Configured, 2);
    EXPECT_EQ(after.Processed - before.Processed, 2);
    EXPECT_EQ(after.Timestamp, 1234567);
    EXPECT_EQ(after.Order.substr(before.Order.size()), "12");

    ReleaseFrameHooks(hooks);
    EXPECT_TRUE(hooks.Empty());
    EXPECT_EQ(FullHookStats().Released - before.Released, 2);
    ReleaseFrameHooks(hooks);  // an empty list releases nothing more
    EXPECT_EQ(FullHookStats().Released - before.Released, 2);
    EXPECT_TRUE(log.Errors().empty());
}

TEST_F(FrameHookTest, DestroyingTheListReleasesItsHooks) {
    const int releasedBefore = FullHookStats().Released;
    {
        TFrameHookList hooks;
        ASSERT_EQ(AddFrameHook(hooks, {kFullHook}), 0);
    }
    EXPECT_EQ(FullHookStats().Released - releasedBefore, 1);
}

TEST_F(FrameHookTest, ModuleWithOnlyProcessTakesNoArguments) {
    TFrameHookList hooks;
    ASSERT_EQ(AddFrameHook(hooks, {kProcessOnlyHook}), 0);
    TTestPicture picture;
    const int before = ProcessOnlyCount();
    ProcessFrameHooks(hooks, &picture.Picture, 8, TTestPicture::Width, TTestPicture::Height, 0);
    EXPECT_EQ(ProcessOnlyCount() - before, 1);
    ReleaseFrameHooks(hooks);  // no Release routine: nothing to call

    EXPECT_EQ(AddFrameHook(hooks, {kProcessOnlyHook, "extra"}), -2);
    EXPECT_TRUE(hooks.Empty());
    EXPECT_TRUE(log.HasError("Failed to find Configure entrypoint in " + kProcessOnlyHook));
}

TEST_F(FrameHookTest, RefusedModulesAreReportedAndNotAdded) {
    TFrameHookList hooks;
    EXPECT_EQ(AddFrameHook(hooks, {}), -2);

    EXPECT_EQ(AddFrameHook(hooks, {kHookWithoutProcess}), -2);
    EXPECT_TRUE(log.HasError("Failed to find Process entrypoint in " + kHookWithoutProcess));

    EXPECT_EQ(AddFrameHook(hooks, {kFullHook, "refuse"}), -22);
    EXPECT_TRUE(log.HasError("Failed to Configure " + kFullHook));

    const std::string missing = kHookDir + "/no_such_hook.so";
    EXPECT_EQ(AddFrameHook(hooks, {missing}), -1);
    const std::vector<std::string> errors = log.Errors();
    ASSERT_FALSE(errors.empty());
    EXPECT_NE(errors.back().find("no_such_hook.so"), std::string::npos) << errors.back();

    EXPECT_TRUE(hooks.Empty());
}

TEST_F(FrameHookTest, BareNameIsFoundInTheCurrentFolder) {
    const std::string previous = GetCurrentDir();
    ASSERT_TRUE(SetCurrentDir(kHookDir));
    TFrameHookList hooks;
    const int result = AddFrameHook(hooks, {"hook_process_only.so"});
    SetCurrentDir(previous);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(hooks.Count(), 1u);
}

}  // namespace
