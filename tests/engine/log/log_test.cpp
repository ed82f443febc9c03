// The engine log: level mapping, FFmpeg's messages through the real av_log (line assembly,
// repeats, prefixes, filtering) and delivery to the main thread.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstddef>
#include <cstdio>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/entrypoints/avutil.h"
#include "engine/loader/FFLoad.h"
#include "engine/log/FFLog.h"
#include "engine/log/FFLogCallback.h"
#include "platform/Exception.h"
#include "platform/MainThread.h"
#include "platform/Thread.h"
#include "tests/common/TestSupport.h"

namespace {

using testsupport::ErrorOf;

struct TLoggedEvent {
    const void* Sender;
    uint32_t ThreadID;
    TLogLevel Level;
    std::string Text;
    bool OnMainThread;
};

// A context object as FFmpeg's log sees one: its first field points to its class.
struct TTestContext {
    const AVClass* Class;
    void* Parent;
};

const char* ChildName(void*) { return "child"; }
const char* ParentName(void*) { return "parent"; }

AVClass MakeClass(const char* name, const char* (*itemName)(void*), int parentOffset) {
    AVClass avClass{};
    avClass.class_name = name;
    avClass.item_name = itemName;
    avClass.version = LIBAVUTIL_VERSION_INT;
    avClass.parent_log_context_offset = parentOffset;
    return avClass;
}

const AVClass parentClass = MakeClass("ParentClass", ParentName, 0);
const AVClass childClass = MakeClass("ChildClass", ChildName, offsetof(TTestContext, Parent));

std::string PointerText(const void* p) {
    char text[32];
    std::snprintf(text, sizeof text, "%016" PRIXPTR, reinterpret_cast<uintptr_t>(p));
    return text;
}

class LogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FFLoader().LoadLibs(FullLibrarySet)) << FFLoader().LastErrorMessage();
        logger = std::make_unique<TFFLogger>();
        logger->OnLog = [this](const void* sender, uint32_t tid, TLogLevel level,
                               const std::string& text) {
            std::lock_guard<std::mutex> guard(eventsLock);
            events.push_back({sender, tid, level, text, IsMainThread()});
        };
        logger->SetLogLevel(llDebug);
        // Ends any repeat run and partial line an earlier test left.
        libav::av_log(nullptr, AV_LOG_INFO, "\nstart of %s\n",
                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        events.clear();
    }
    void TearDown() override { logger.reset(); }

    std::vector<std::string> Texts() {
        std::lock_guard<std::mutex> guard(eventsLock);
        std::vector<std::string> texts;
        for (const TLoggedEvent& e : events) texts.push_back(e.Text);
        return texts;
    }

    std::unique_ptr<TFFLogger> logger;
    std::mutex eventsLock;
    std::vector<TLoggedEvent> events;
};

using Lines = std::vector<std::string>;

TEST(LogLevelMapping, MapsBothWays) {
    for (int level = llQuiet; level <= llDebug; ++level) {
        EXPECT_EQ(LevelToAV(TLogLevel(level)), (level - 1) * 8);
        EXPECT_EQ(AVToLevel(LevelToAV(TLogLevel(level))), level);
    }
    EXPECT_EQ(AVToLevel(AV_LOG_INFO), llInfo);
    EXPECT_EQ(AVToLevel(56), llDebug);
    EXPECT_EQ(AVToLevel(AV_LOG_TRACE), llDebug);
    EXPECT_EQ(AVToLevel(-8), llQuiet);
    EXPECT_EQ(AVToLevel(-16), llQuiet);
    EXPECT_EQ(AVToLevel(-7), llPanic);
    EXPECT_EQ(AVToLevel(7), llPanic);
    EXPECT_EQ(AVToLevel(8), llFatal);
}

TEST_F(LogTest, RepeatedMessagesAreCounted) {
    libav::av_log(nullptr, AV_LOG_INFO, "twice\n");
    libav::av_log(nullptr, AV_LOG_INFO, "twice\n");
    libav::av_log(nullptr, AV_LOG_INFO, "thrice\n");
    libav::av_log(nullptr, AV_LOG_INFO, "thrice\n");
    libav::av_log(nullptr, AV_LOG_INFO, "thrice\n");
    libav::av_log(nullptr, AV_LOG_WARNING, "next\n");
    EXPECT_EQ(Texts(), (Lines{"twice", "thrice", "    Last message repeated 2 times", "next"}));
    EXPECT_EQ(events[2].Level, llWarning);  // the level of the message that ended the run
}

TEST_F(LogTest, LinesAreAssembledPerThread) {
    libav::av_log(nullptr, AV_LOG_INFO, "abc");
    EXPECT_TRUE(Texts().empty());
    libav::av_log(nullptr, AV_LOG_INFO, "def\n");
    libav::av_log(nullptr, AV_LOG_INFO, "a\nb\nc");
    EXPECT_EQ(Texts(), (Lines{"abcdef", "a", "b"}));
    libav::av_log(nullptr, AV_LOG_INFO, "d\n");
    EXPECT_EQ(Texts().back(), "cd");
}

TEST_F(LogTest, LongMessageIsDeliveredWhole) {
    const std::string text(5000, 'x');
    libav::av_log(nullptr, AV_LOG_INFO, "%s|%d\n", text.c_str(), 42);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].Text, text + "|42");
}

TEST_F(LogTest, ContextGivesThePrefixOfTheFirstPartOnly) {
    TTestContext parent{&parentClass, nullptr};
    TTestContext child{&childClass, &parent};
    libav::av_log(&child, AV_LOG_INFO, "abc");
    libav::av_log(&child, AV_LOG_INFO, "def\n");
    libav::av_log(&parent, AV_LOG_INFO, "own\n");
    libav::av_log(nullptr, AV_LOG_INFO, "plain\n");
    EXPECT_EQ(Texts(), (Lines{"[parent @ " + PointerText(&parent) + "] [child @ " +
                                  PointerText(&child) + "]abcdef",
                              "[parent @ " + PointerText(&parent) + "]own", "plain"}));
}

TEST_F(LogTest, FilterLevelDropsMessagesWithoutTouchingTheRepeatState) {
    logger->SetLogLevel(llWarning);
    EXPECT_EQ(libav::av_log_get_level(), AV_LOG_WARNING);
    libav::av_log(nullptr, AV_LOG_WARNING, "kept\n");
    libav::av_log(nullptr, AV_LOG_INFO, "kept\n");
    libav::av_log(nullptr, AV_LOG_INFO, "kept\n");
    libav::av_log(nullptr, AV_LOG_WARNING, "other\n");
    logger->Log(this, llInfo, "direct info");
    logger->Log(this, llWarning, "direct %s %d", "warning", 7);
    EXPECT_EQ(Texts(), (Lines{"kept", "other", "direct warning 7"}));
    EXPECT_EQ(events.back().Sender, this);
}

TEST_F(LogTest, EventsNameTheLoggerAndTheThread) {
    libav::av_log(nullptr, AV_LOG_ERROR, "failure\n");
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].Sender, logger.get());
    EXPECT_EQ(events[0].ThreadID, CurrentThreadId());
    EXPECT_EQ(events[0].Level, llError);
}

TEST_F(LogTest, WithoutHandlerMessagesAreDroppedButLinesStillAssembled) {
    auto handler = logger->OnLog;
    logger->OnLog = nullptr;
    libav::av_log(nullptr, AV_LOG_INFO, "dropped\nhalf ");
    logger->OnLog = handler;
    libav::av_log(nullptr, AV_LOG_INFO, "line\n");
    EXPECT_EQ(Texts(), (Lines{"half line"}));
}

TEST_F(LogTest, OnlyOneApplicationLogger) {
    EXPECT_EQ(&FFLogger(), logger.get());
    EXPECT_EQ(ErrorOf<Exception>([] { TFFLogger second; }),
              "Allow creating only one instance of TFFLogger.");
    // Without an application logger one is made on demand; the application's replaces it.
    logger.reset();
    TFFLogger& onDemand = FFLogger();
    EXPECT_EQ(&FFLogger(), &onDemand);
    TFFLogger placed;
    EXPECT_EQ(&FFLogger(), &placed);
}

TEST_F(LogTest, InstallingNeedsTheUtilityLibrary) {
    FFLoader().UnloadLibs(FullLibrarySet);
    EXPECT_EQ(ErrorOf<Exception>([&] { logger->InstallLogCallback(); }), "Assertion failure");
}

TEST_F(LogTest, WorkerLinesRunOnTheMainThread) {
    TThread worker([](TThread&) { libav::av_log(nullptr, AV_LOG_INFO, "from worker\n"); });
    worker.Start();
    while (!worker.Finished()) WaitForSynchronize(10);
    worker.WaitFor();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].Text, "from worker");
    EXPECT_TRUE(events[0].OnMainThread);
    EXPECT_EQ(events[0].ThreadID, worker.ThreadID());
}

TEST_F(LogTest, PartialLinesOfThreadsDoNotMix) {
    TEvent halfWritten, mainDone;
    TThread worker([&](TThread&) {
        libav::av_log(nullptr, AV_LOG_INFO, "worker ");
        halfWritten.SetEvent();
        mainDone.WaitFor();
        libav::av_log(nullptr, AV_LOG_INFO, "line\n");
    });
    worker.Start();
    halfWritten.WaitFor();
    libav::av_log(nullptr, AV_LOG_INFO, "main line\n");
    mainDone.SetEvent();
    while (!worker.Finished()) WaitForSynchronize(10);
    worker.WaitFor();
    EXPECT_EQ(Texts(), (Lines{"main line", "worker line"}));
}

// A worker whose lines wait for the main thread while the main thread logs through FFmpeg
// itself: neither may wait for the other.
TEST_F(LogTest, MainThreadLoggingWhileAWorkerDeliversDoesNotDeadlock) {
    constexpr int count = 200;
    TThread worker([](TThread&) {
        for (int i = 0; i < count; ++i) libav::av_log(nullptr, AV_LOG_INFO, "worker %d\n", i);
    });
    worker.Start();
    int mainLines = 0;
    while (!worker.Finished()) {
        if (mainLines < count) libav::av_log(nullptr, AV_LOG_INFO, "main %d\n", mainLines++);
        CheckSynchronize();
    }
    worker.WaitFor();
    CheckSynchronize();
    int nextWorker = 0, nextMain = 0;
    for (const std::string& text : Texts()) {
        if (text.rfind("worker ", 0) == 0) {
            EXPECT_EQ(text, "worker " + std::to_string(nextWorker++));
        } else if (text.rfind("main ", 0) == 0) {
            EXPECT_EQ(text, "main " + std::to_string(nextMain++));
        }
    }
    EXPECT_EQ(nextWorker, count);
    EXPECT_EQ(nextMain, mainLines);
}

}  // namespace
