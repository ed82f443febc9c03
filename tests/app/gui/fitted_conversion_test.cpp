// Conversions in the main window with a size limit, on real clips: the settings are chosen in
// the background first (Stop ends that too), the GIF comes out within the limit and the log and
// status say what it was fitted to (the samples' engine lines left out of the log), a GIF that
// still outgrows the limit is converted again lower with nothing of it left, a limit nothing
// meets writes nothing and says what would fit, and the limit is kept in the settings file for
// the next run of the program.
#include <QLineEdit>
#include <QSpinBox>
#include <filesystem>

#include "app/core/SavedChoices.h"
#include "app/options/GifSizeEstimate.h"
#include "tests/app/gui/ConversionTestSupport.h"

namespace {

using guitest::Button;
using guitest::Child;
using guitest::Label;
using guitest::LogText;
using guitest::ProcessEventsUntil;
using guitest::TClip;

constexpr int64_t kKB = 1024;

// Every frame differs: its GIF takes some 450 KB.
std::unique_ptr<TClip> BusyClip() {
    return std::make_unique<TClip>(
        "-f lavfi -i testsrc2=size=160x120:rate=25 -t 4 -c:v libx264 -pix_fmt yuv420p", "busy.mp4");
}

// The GIFs beside the clip, and the files being written there.
std::vector<std::string> FilesBeside(const TClip& clip) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(clip.Dir.Path()))
        if (entry.path().extension() != ".mp4") files.push_back(entry.path().filename().string());
    return files;
}

class FittedConversionTest : public guitest::TConversionFixture {
protected:
    // The dialog takes the limit as typed.
    void LimitTo(const QString& typed) {
        adjust_ = [typed](TfrmOption& options) {
            Child<QLineEdit>(options, "edtSizeLimit").setText(typed);
        };
    }
    QString Status() const { return Label(*window_, "lblStatus").text(); }
};

TEST_F(FittedConversionTest, LimitThatBindsGivesAGifWithinItAndIsKept) {
    const auto clip = BusyClip();
    // The dialog shown, its estimate made, as a user would see it.
    QString estimate;
    adjust_ = [&](TfrmOption& options) {
        Child<QLineEdit>(options, "edtSizeLimit").setText(QStringLiteral("150K"));
        options.show();
        const QLabel& label = Label(options, "lblEstimate");
        ProcessEventsUntil([&] { return label.text() != TGifSizeEstimate::kEstimating; }, 60000);
        estimate = label.text();
        options.hide();
    };
    Input(clip->File);
    EXPECT_TRUE(estimate.contains(QStringLiteral(", fitted to 150 KB: ")))
        << estimate.toStdString();

    // Choosing: the status says so, and only Stop can be pressed meanwhile.
    Button(*window_, "btnStart").click();
    EXPECT_EQ(Status(), QStringLiteral("Choosing the settings that fit 150 KB\u2026"));
    EXPECT_EQ(Buttons(), (std::vector<bool>{false, false, true, false, false}));
    ASSERT_TRUE(ProcessEventsUntil([&] { return Button(*window_, "btnOpen").isEnabled(); }, 60000));

    const std::string gif = clip->Beside("busy_(new).gif");
    ASSERT_EQ(window_->LastResult().File, gif);
    EXPECT_LE(std::filesystem::file_size(gif), static_cast<uintmax_t>(150 * kKB));
    EXPECT_GT(guitest::FramesIn(gif), 1);
    EXPECT_TRUE(Status().startsWith(QStringLiteral("Conversion is complete, fitted to 150 KB: ")))
        << Status().toStdString();
    EXPECT_TRUE(LogHas(QString::fromStdString("***GIF saved: " + gif + " (fitted to 150 KB: ")));
    // The samples' engine lines, the dialog's and the conversion's, are left out: the log shows
    // the one conversion's output.
    EXPECT_EQ(LogText(*window_).count(QStringLiteral(": Output #0, rawrgb")), 1);
    EXPECT_TRUE(dialogs_.Messages.empty());
    EXPECT_EQ(FilesBeside(*clip), std::vector<std::string>{"busy_(new).gif"});
    // The long status leaves the result line room for its facts.
    const QLabel& result = Label(*window_, "lblResult");
    EXPECT_LE(result.fontMetrics().horizontalAdvance(result.text()), result.width());
    EXPECT_TRUE(result.text().contains(QStringLiteral(" frames")));

    // The settings file keeps the limit in bytes, and the next run of the program offers it.
    EXPECT_EQ(ReadSavedChoices(folder_.Path() + "lamecore.dll").SizeLimit, 150 * kKB);
    window_.reset();
    window_ = StartUp(TProgramFiles::In(folder_.Path()));
    QString offered;
    adjust_ = [&](TfrmOption& options) {
        offered = Child<QLineEdit>(options, "edtSizeLimit").text();
    };
    Input(clip->File);
    EXPECT_EQ(offered, QStringLiteral("150K"));
}

// A clip still for most of its time, noisy in between where the samples do not look: the GIF
// outgrows the estimate, and the clip is converted again lower until it fits or nothing does.
TEST_F(FittedConversionTest, GifThatOutgrowsTheLimitIsConvertedAgainLower) {
    const TClip clip(
        "-f lavfi -i color=c=gray:size=160x120:rate=25:duration=20 "
        "-vf \"noise=alls=100:allf=t:enable='between(t,1,4)'\" -c:v libx264 -pix_fmt yuv420p",
        "burst.mp4");
    LimitTo(QStringLiteral("400K"));
    Input(clip.File);
    ConvertToTheEnd();

    EXPECT_TRUE(
        LogHas(QStringLiteral("***The GIF grew past 400 KB at 160x120, 25 fps, quality 90: "
                              "converting again at ")))
        << LogText(*window_).toStdString();
    const std::string gif = clip.Beside("burst_(new).gif");
    if (window_->LastResult().File.empty()) {
        ASSERT_EQ(dialogs_.Messages.size(), 1u);
        EXPECT_TRUE(dialogs_.Messages[0].Text.startsWith(QStringLiteral("ClipGIF cannot fit")));
        EXPECT_TRUE(FilesBeside(clip).empty());
    } else {
        EXPECT_EQ(window_->LastResult().File, gif);
        EXPECT_LE(std::filesystem::file_size(gif), static_cast<uintmax_t>(400 * kKB));
        EXPECT_EQ(FilesBeside(clip), std::vector<std::string>{"burst_(new).gif"});
        EXPECT_TRUE(Status().startsWith(QStringLiteral("Conversion is complete, fitted to ")));
        EXPECT_TRUE(dialogs_.Messages.empty());
    }
}

TEST_F(FittedConversionTest, LimitNothingMeetsWritesNothingAndSaysWhatWouldFit) {
    const auto clip = BusyClip();
    LimitTo(QStringLiteral("2K"));
    Input(clip->File);
    ConvertToTheEnd();

    ASSERT_EQ(dialogs_.Messages.size(), 1u);
    EXPECT_EQ(dialogs_.Messages[0].Icon, QMessageBox::Warning);
    const QString text = dialogs_.Messages[0].Text;
    EXPECT_TRUE(text.startsWith(QStringLiteral("ClipGIF cannot fit 4 s into 2 KB; ")))
        << text.toStdString();
    EXPECT_TRUE(text.endsWith(QStringLiteral(" would fit")));
    EXPECT_EQ(Status(), text);
    EXPECT_TRUE(LogHas(QStringLiteral("***") + text));
    EXPECT_TRUE(window_->LastResult().File.empty());
    EXPECT_TRUE(FilesBeside(*clip).empty());
    EXPECT_EQ(Buttons(), (std::vector<bool>{true, true, false, false, false}));
}

TEST_F(FittedConversionTest, StopWhileChoosingEndsTheRunWithoutAGif) {
    const std::unique_ptr<TClip> clip = guitest::LongClip();
    LimitTo(QStringLiteral("400K"));
    Input(clip->File);
    Button(*window_, "btnStart").click();
    ASSERT_TRUE(Status().startsWith(QStringLiteral("Choosing the settings")));
    Button(*window_, "btnStop").click();
    EXPECT_EQ(Buttons(), (std::vector<bool>{true, true, false, false, false}));
    EXPECT_EQ(Status(), QStringLiteral("Stopped before the conversion of long.mp4 began."));
    ProcessEventsUntil([] { return false; }, 300);
    EXPECT_TRUE(dialogs_.Messages.empty());
    EXPECT_TRUE(window_->LastResult().File.empty());
    EXPECT_TRUE(FilesBeside(*clip).empty());

    // Start again chooses again, and converts.
    ConvertToTheEnd();
    EXPECT_EQ(window_->LastResult().File, clip->Beside("long_(new).gif"));
    EXPECT_LE(std::filesystem::file_size(window_->LastResult().File),
              static_cast<uintmax_t>(400 * kKB));
}

}  // namespace
