#pragma once
// What the suites of whole conversions through the main window share: clips made for them, the
// frames of a GIF, and the window started offscreen with its dialogs answered, the options
// dialog adjusted by the test before it is accepted.
#include <QRegularExpression>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/main/FrameOutputFrm.h"
#include "app/main/StartUp.h"
#include "app/options/OptionFrm.h"
#include "gif/model/GIFImage.h"
#include "tests/app/gui/GuiTestSupport.h"

namespace guitest {

// The clips, each in a folder of its own so the GIFs made beside them can be told apart.
struct TClip {
    testsupport::TempDir Dir;
    std::string File;
    TClip(const std::string& args, const std::string& name)
        : File(testsupport::MakeMedia(args, Dir.File(name))) {}
    std::string Beside(const std::string& name) const { return Dir.File(name); }
};

// One second, ten frames.
inline std::unique_ptr<TClip> ShortClip() {
    return std::make_unique<TClip>(
        "-f lavfi -i testsrc=size=64x48:rate=10 -t 1 -c:v libx264 -pix_fmt yuv420p", "clip.mp4");
}

// Twenty seconds at 25 frames a second: long enough to be stopped on its way.
inline std::unique_ptr<TClip> LongClip() {
    return std::make_unique<TClip>(
        "-f lavfi -i testsrc=size=64x48:rate=25 -t 20 -c:v libx264 -pix_fmt yuv420p", "long.mp4");
}

inline int FramesIn(const std::string& gif) {
    TGIFImage image;
    image.LoadFromFile(gif);
    return image.Images().Count();
}

class TConversionFixture : public ::testing::Test {
protected:
    void SetUp() override {
        guitest::Application();
        folder_.WriteSettings({"[SYSTEM]", "Name=Clip", "ResFolder=slate"});
        folder_.CopyIcon();
        folder_.CopySkin("slate");
        window_ = StartUp(TProgramFiles::In(folder_.Path()));
        window_->show();
        // The dialog takes the file as it comes, after `adjust` had its say.
        dialogs_.OnModal = [this](QDialog& dialog) {
            if (auto* options = dynamic_cast<TfrmOption*>(&dialog); options && adjust_)
                adjust_(*options);
            return int(QDialog::Accepted);
        };
    }
    void TearDown() override { window_.reset(); }

    void Input(const std::string& file) {
        dialogs_.FileToChoose = QString::fromStdString(file);
        Button(*window_, "btnOpen").click();
    }
    // Start, then the event loop until the end of all tasks is reported.
    void ConvertToTheEnd() {
        Button(*window_, "btnStart").click();
        ASSERT_TRUE(
            ProcessEventsUntil([&] { return Button(*window_, "btnOpen").isEnabled(); }, 60000));
    }
    bool LogHas(const QString& text) const { return LogText(*window_).contains(text); }
    bool FrameLogged(int number) const {
        return LogHas(QStringLiteral("FrameOutput write frame #%1,").arg(number));
    }
    // The log of the one run that saved `gif`: a line for each frame, numbered from 1 without a
    // gap, as many as the GIF has frames, then the output's close, then the window's line for
    // the GIF saved.
    void ExpectRunLoggedInOrder(const std::string& gif) const {
        const QStringList lines = LogText(*window_).split(QLatin1Char('\n'));
        const QRegularExpression frameLine(QStringLiteral("^FrameOutput write frame #(\\d+),"));
        int frames = 0;
        qsizetype lastFrame = -1;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QRegularExpressionMatch match = frameLine.match(lines[i]);
            if (!match.hasMatch()) continue;
            EXPECT_EQ(match.captured(1).toInt(), ++frames) << "line " << i;
            lastFrame = i;
        }
        EXPECT_GT(frames, 0);
        EXPECT_EQ(frames, FramesIn(gif));
        const qsizetype close = lines.indexOf(QStringLiteral("Frame output write close"));
        const qsizetype saved = lines.indexOf(QString::fromStdString("***GIF saved: " + gif));
        EXPECT_GT(close, lastFrame);
        EXPECT_GT(saved, close);
    }
    // Input, Start, Stop, Pause, Resume enabled?
    std::vector<bool> Buttons() const {
        return {Button(*window_, "btnOpen").isEnabled(), Button(*window_, "btnStart").isEnabled(),
                Button(*window_, "btnStop").isEnabled(), Button(*window_, "btnPause").isEnabled(),
                Button(*window_, "btnResume").isEnabled()};
    }

    TScriptedDialogs dialogs_;
    std::function<void(TfrmOption&)> adjust_;
    TProgramFolder folder_;
    std::unique_ptr<TfrmFrameOutput> window_;
};

}  // namespace guitest
