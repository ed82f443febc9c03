// The main window's conversion apart from the window: what it reports to the window, and in
// which order.
#include <QWidget>
#include <string>
#include <vector>

#include "app/main/ConversionControl.h"
#include "app/main/PreviewForm.h"
#include "tests/app/gui/GuiTestSupport.h"

namespace {

const char* NameOf(TRunPhase phase) {
    switch (phase) {
        case TRunPhase::Started:
            return "started";
        case TRunPhase::Paused:
            return "paused";
        case TRunPhase::Resumed:
            return "resumed";
        case TRunPhase::Stopping:
            return "stopping";
        case TRunPhase::Ended:
            return "ended";
    }
    return "?";
}

class TRecordingOwner : public TConversionOwner {
public:
    std::vector<std::string> Calls;

    void LogMessage(const QString& message) override {
        Calls.push_back("log " + message.toStdString());
    }
    void ShowRunPhase(TRunPhase phase) override {
        Calls.push_back(std::string("phase ") + NameOf(phase));
    }
    void ShowStatus(const QString& text) override {
        Calls.push_back("status " + text.toStdString());
    }
    void CatchUp() override { Calls.push_back("catch up"); }
};

class TNoSinkWindow : public TSinkWindow {
public:
    void LogLine(std::string_view) override {}
};

class ConversionControlTest : public ::testing::Test {
protected:
    guitest::TApplicationFirst application_;
    QWidget window_;
    TNoSinkWindow sinkWindow_;
    TRecordingOwner owner_;
    TConversionControl control_{window_, sinkWindow_, owner_};
};

TEST_F(ConversionControlTest, ProgressLineShowsTheReportWithSixtyFourBitSizes) {
    TProgressInfo info;
    info.FrameNumber = 120;
    info.FPS = 24;
    info.OutputSize = 5000000000;
    info.OutputTime = 4800000;
    control_.FFEncoderProgress(&info);
    EXPECT_EQ(owner_.Calls, std::vector<std::string>(
                                {"status Frame number: 120; FPS: 24; Size: 5000000000; Time: "
                                 "4800000"}));
}

// What the run's threads handed over is shown before its end or its stop is: the log keeps
// the run's lines before the window's, and no frame of the run shows after.
TEST_F(ConversionControlTest, EndAndStopCatchUpWithTheRunFirst) {
    control_.FFEncoderTerminate(TTerminateInfo{-1, true, false, ""});
    EXPECT_EQ(owner_.Calls, std::vector<std::string>({"catch up", "phase ended"}));

    owner_.Calls.clear();
    control_.Stop();
    EXPECT_EQ(owner_.Calls, std::vector<std::string>({"phase stopping", "catch up"}));
    EXPECT_FALSE(control_.PreviewWindow()->isVisible());
}

TEST_F(ConversionControlTest, PreviewFramesShowOnlyWhileWanted) {
    QImage picture(30, 20, QImage::Format_RGB32);
    picture.fill(Qt::red);
    control_.ShowPreviewFrame(picture, 12);
    TPreviewForm& preview = *control_.PreviewWindow();
    EXPECT_EQ(preview.windowTitle(), "#12");
    EXPECT_EQ(preview.size(), QSize(30, 20));
    control_.RevealPreview();
    EXPECT_TRUE(preview.isVisible());

    control_.SetPreviewWanted(false);
    EXPECT_FALSE(preview.isVisible());
    EXPECT_FALSE(control_.Encoder().PreviewBitmap());
    control_.RevealPreview();
    EXPECT_FALSE(preview.isVisible());
}

}  // namespace
