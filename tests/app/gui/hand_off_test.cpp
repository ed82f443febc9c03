// What the conversion's threads hand to the GUI thread: log lines in their order and never
// waited for, the newest preview frame in one slot, the busy cursor; and on the GUI thread
// itself everything at once.
#include <QGuiApplication>
#include <QStringList>
#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "app/main/LogHandOff.h"
#include "app/main/QtSinkWindow.h"
#include "platform/Bitmap.h"
#include "tests/app/gui/GuiTestSupport.h"

namespace {

using guitest::OneColourBitmap;
using guitest::ProcessEventsUntil;

// Runs `work` on a thread of its own without the GUI thread doing anything meanwhile; true when
// it ended by itself, so it never waited for the GUI thread. Should it wait, the GUI thread
// serves it afterwards so the thread can end.
bool RunsWithoutTheGui(const std::function<void()>& work) {
    std::future<void> done = std::async(std::launch::async, work);
    const bool alone = done.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    if (!alone)
        ProcessEventsUntil(
            [&] { return done.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
    done.get();
    return alone;
}

class LogHandOffTest : public ::testing::Test {
protected:
    guitest::TApplicationFirst application_;
    QStringList written_;
    TLogHandOff log_{[this](const QString& line) { written_ << line; }, 1000};
};

TEST_F(LogHandOffTest, OtherThreadsLinesComeInOrderBeforeTheGuiThreadsNextLine) {
    QStringList sent;
    for (int i = 1; i <= 500; ++i) sent << QStringLiteral("line %1").arg(i);
    ASSERT_TRUE(RunsWithoutTheGui([&] {
        for (const QString& line : sent) log_.Add(line);
    }));
    EXPECT_TRUE(written_.isEmpty());

    // The window's own line, say the end of a run, follows them whatever the queued call does.
    log_.Add(QStringLiteral("end"));
    QStringList expected = sent;
    expected << QStringLiteral("end");
    EXPECT_EQ(written_, expected);
    // The queued call finds nothing more to write.
    ProcessEventsUntil([] { return false; }, 100);
    EXPECT_EQ(written_, expected);
}

TEST_F(LogHandOffTest, QueuedCallWritesWhatWaits) {
    std::thread worker([&] {
        log_.Add(QStringLiteral("first"));
        log_.Add(QStringLiteral("second"));
    });
    worker.join();
    ASSERT_TRUE(ProcessEventsUntil([&] { return written_.size() == 2; }));
    EXPECT_EQ(written_, QStringList({"first", "second"}));
    std::thread later([&] { log_.Add(QStringLiteral("third")); });
    later.join();
    ASSERT_TRUE(ProcessEventsUntil([&] { return written_.size() == 3; }));
    EXPECT_EQ(written_.last(), "third");
}

TEST_F(LogHandOffTest, NoMoreLinesWaitThanTheLogKeeps) {
    TLogHandOff small([this](const QString& line) { written_ << line; }, 3);
    std::thread worker([&] {
        for (const char* line : {"a", "b", "c", "d", "e"}) small.Add(QString::fromLatin1(line));
    });
    worker.join();
    small.Flush();
    EXPECT_EQ(written_, QStringList({"c", "d", "e"}));
}

class TRecordingPreview : public TSinkWindowOwner {
public:
    struct TShown {
        QImage Picture;
        int FrameNumber;
    };
    std::vector<TShown> Frames;
    int Reveals = 0;

    void ShowPreviewFrame(const QImage& picture, int frameNumber) override {
        Frames.push_back({picture, frameNumber});
    }
    void RevealPreview() override { ++Reveals; }
};

class SinkWindowTest : public ::testing::Test {
protected:
    void TearDown() override {
        window_.reset();
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    }

    guitest::TApplicationFirst application_;
    QStringList lines_;
    TLogHandOff log_{[this](const QString& line) { lines_ << line; }, 1000};
    TRecordingPreview preview_;
    std::unique_ptr<TQtSinkWindow> window_ = std::make_unique<TQtSinkWindow>(log_, preview_);
};

TEST_F(SinkWindowTest, ConversionThreadNeverWaitsAndTheNewestFrameWins) {
    const TBitmap red = OneColourBitmap(40, 30, RGBColor(255, 0, 0));
    const TBitmap blue = OneColourBitmap(24, 16, RGBColor(0, 0, 255));
    ASSERT_TRUE(RunsWithoutTheGui([&] {
        for (int number = 1; number <= 30; ++number) {
            window_->LogLine("frame " + std::to_string(number));
            window_->PreviewFrame(number < 30 ? red : blue, number);
            window_->ShowPreview();
        }
    }));
    EXPECT_TRUE(preview_.Frames.empty());

    ASSERT_TRUE(ProcessEventsUntil([&] { return preview_.Reveals > 0 && lines_.size() == 30; }));
    // One picture waited, the last: a copy taken while the bitmap was there.
    ASSERT_EQ(preview_.Frames.size(), 1u);
    EXPECT_EQ(preview_.Frames[0].FrameNumber, 30);
    EXPECT_EQ(preview_.Frames[0].Picture.size(), QSize(24, 16));
    EXPECT_EQ(preview_.Frames[0].Picture.pixel(3, 3), qRgb(0, 0, 255));
    EXPECT_EQ(preview_.Reveals, 1);
    for (int number = 1; number <= 30; ++number)
        EXPECT_EQ(lines_[number - 1], QStringLiteral("frame %1").arg(number));
}

TEST_F(SinkWindowTest, FlushShowsWhatWaitsSoNothingComesLater) {
    std::thread worker([&] {
        window_->PreviewFrame(OneColourBitmap(8, 8, RGBColor(0, 255, 0)), 7);
        window_->ShowPreview();
    });
    worker.join();
    window_->Flush();
    ASSERT_EQ(preview_.Frames.size(), 1u);
    EXPECT_EQ(preview_.Frames[0].FrameNumber, 7);
    EXPECT_EQ(preview_.Reveals, 1);
    // The queued call that was on its way finds nothing left: no frame reappears after, say,
    // the preview window was hidden at a Stop.
    ProcessEventsUntil([] { return false; }, 100);
    EXPECT_EQ(preview_.Frames.size(), 1u);
    EXPECT_EQ(preview_.Reveals, 1);
}

TEST_F(SinkWindowTest, BusyCursorFollowsTheSinkAndIsRestoredWhenTheWindowGoes) {
    std::thread([&] { window_->SetBusyCursor(true); }).join();
    ASSERT_TRUE(ProcessEventsUntil([] { return QGuiApplication::overrideCursor() != nullptr; }));
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    std::thread([&] { window_->SetBusyCursor(false); }).join();
    ASSERT_TRUE(ProcessEventsUntil([] { return QGuiApplication::overrideCursor() == nullptr; }));

    // A sink that never takes its cursor back leaves none behind once the window goes
    // (TearDown checks).
    std::thread([&] { window_->SetBusyCursor(true); }).join();
    window_->Flush();
    EXPECT_NE(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(SinkWindowTest, OnTheGuiThreadEverythingTakesEffectAtOnce) {
    window_->LogLine("now");
    window_->PreviewFrame(OneColourBitmap(4, 4, RGBColor(1, 2, 3)), 1);
    window_->ShowPreview();
    window_->SetBusyCursor(true);
    EXPECT_EQ(lines_, QStringList({"now"}));
    EXPECT_EQ(preview_.Frames.size(), 1u);
    EXPECT_EQ(preview_.Reveals, 1);
    EXPECT_NE(QGuiApplication::overrideCursor(), nullptr);
    window_->SetBusyCursor(false);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

}  // namespace
