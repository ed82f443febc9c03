// The main window's conversion apart from the window: what it reports to the window, and in
// which order.
#include <QGuiApplication>
#include <QScreen>
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
        case TRunPhase::Choosing:
            return "choosing";
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
    void ShowProgress(int percent, const QString& text) override {
        Calls.push_back("progress " + std::to_string(percent) + " " + text.toStdString());
    }
    void ShowResult(const TConversionResult* result) override {
        Calls.push_back("result " + (result ? result->File : std::string("none")));
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

// The line keeps the report's words; its size is the GIF's bytes so far (the encoder's own
// output, the frames handed to the sink, counts nothing), its time the clip's time text.
TEST_F(ConversionControlTest, ProgressLineShowsTheGifsSizeAndTheClipsTime) {
    TProgressInfo info;
    info.FrameNumber = 120;
    info.FPS = 24;
    info.OutputSize = 5000000000;
    info.OutputTime = 3723456000;
    control_.FFEncoderProgress(&info);
    // Without a conversion set up its length is unknown: no share, no progress bar.
    EXPECT_EQ(owner_.Calls,
              std::vector<std::string>({"status Frame number: 120; FPS: 24; Size: 0 bytes; Time: "
                                        "01:02:03.456",
                                        "progress -1 "}));
}

// What the run's threads handed over is shown before its end or its stop is: the log keeps
// the run's lines before the window's, and no frame of the run shows after.
TEST_F(ConversionControlTest, EndAndStopCatchUpWithTheRunFirst) {
    control_.FFEncoderTerminate(TTerminateInfo{-1, true, false, "", {}});
    EXPECT_EQ(owner_.Calls, std::vector<std::string>({"catch up", "phase ended", "progress -1 "}));

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
    EXPECT_EQ(preview.PictureSize(), QSize(30, 20));
    control_.RevealPreview();
    EXPECT_TRUE(preview.isVisible());

    control_.SetPreviewWanted(false);
    EXPECT_FALSE(preview.isVisible());
    EXPECT_FALSE(control_.Encoder().PreviewBitmap());
    control_.RevealPreview();
    EXPECT_FALSE(preview.isVisible());
}

// A portrait clip's frames larger than the screen: the preview takes at most half of it, the
// picture's aspect ratio kept, and stays inside the screen.
TEST_F(ConversionControlTest, PreviewOfLargeFramesFitsTheScreen) {
    QImage picture(1080, 1920, QImage::Format_RGB32);
    picture.fill(Qt::green);
    control_.ShowPreviewFrame(picture, 1);
    TPreviewForm& preview = *control_.PreviewWindow();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE(preview.width(), screen.width() / 2);
    EXPECT_LE(preview.height(), screen.height() / 2);
    EXPECT_NEAR(double(preview.width()) / preview.height(), 1080.0 / 1920, 0.01);
    EXPECT_TRUE(screen.contains(preview.geometry()));
    EXPECT_EQ(preview.PictureSize(), QSize(1080, 1920));
}

}  // namespace
