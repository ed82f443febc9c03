// Whole conversions driven through the main window offscreen: Input, the options dialog and
// Start up to "Conversion is complete." with the GIF beside the clip; Stop, Pause and Resume
// along the button table; closing the window during a conversion; the options dialog's check
// boxes; the GIF made playing in the preview window and copied to the clipboard; the log of a
// run complete and in order before the report of its end.
#include <QCheckBox>
#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QMimeData>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "app/main/FrameOutputFrm.h"
#include "app/main/PreviewForm.h"
#include "app/main/StartUp.h"
#include "app/options/OptionFrm.h"
#include "app/widgets/ImageButton.h"
#include "gif/model/GIFExtensions.h"
#include "gif/model/GIFImage.h"
#include "gif/paint/GIFPainter.h"
#include "platform/MainThread.h"
#include "platform/Stream.h"
#include "tests/app/gui/GuiTestSupport.h"

namespace {

using guitest::Button;
using guitest::Child;
using guitest::Label;
using guitest::LogText;
using guitest::ProcessEventsUntil;
using guitest::TProgramFolder;
using guitest::TScriptedDialogs;

// The clips, each in a folder of its own so the GIFs made beside them can be told apart.
struct TClip {
    testsupport::TempDir Dir;
    std::string File;
    TClip(const std::string& args, const std::string& name)
        : File(testsupport::MakeMedia(args, Dir.File(name))) {}
    std::string Beside(const std::string& name) const { return Dir.File(name); }
};

// One second, ten frames.
std::unique_ptr<TClip> ShortClip() {
    return std::make_unique<TClip>(
        "-f lavfi -i testsrc=size=64x48:rate=10 -t 1 -c:v libx264 -pix_fmt yuv420p", "clip.mp4");
}

// Twenty seconds at 25 frames a second: long enough to be stopped on its way.
std::unique_ptr<TClip> LongClip() {
    return std::make_unique<TClip>(
        "-f lavfi -i testsrc=size=64x48:rate=25 -t 20 -c:v libx264 -pix_fmt yuv420p", "long.mp4");
}

int FramesIn(const std::string& gif) {
    TGIFImage image;
    image.LoadFromFile(gif);
    return image.Images().Count();
}

class ConversionTest : public ::testing::Test {
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

// A clip cut off part-way: what could be read converts, and the log and the status say what
// was lost.
TEST_F(ConversionTest, DamagedClipSaysWhatWasLost) {
    TClip clip("-f lavfi -i testsrc=size=64x48:rate=25 -t 3 -c:v libx264 -pix_fmt yuv420p",
               "cut-off.mkv");
    const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(clip.File);
    {
        std::ofstream half(clip.File, std::ios::binary | std::ios::trunc);
        half.write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size() / 2));
    }
    Input(clip.File);
    ConvertToTheEnd();
    const std::string gif = clip.Beside("cut-off_(new).gif");
    ASSERT_EQ(window_->FrameSink().SavedFileName(), gif);
    const int frames = FramesIn(gif);
    EXPECT_GT(frames, 0);
    EXPECT_LT(frames, 75);
    const QString lost =
        QStringLiteral("%1 of about 75 frames: the clip could not be read after ").arg(frames);
    EXPECT_TRUE(LogHas(QString::fromStdString("***GIF saved: " + gif + " (") + lost))
        << LogText(*window_).toStdString();
    EXPECT_TRUE(Label(*window_, "lblStatus")
                    .text()
                    .startsWith("Conversion is complete, but frames were lost (" + lost))
        << Label(*window_, "lblStatus").text().toStdString();
    EXPECT_TRUE(dialogs_.Messages.empty());  // saved: no failure to report
}

const std::vector<bool> kRunning = {false, false, true, true, false};
const std::vector<bool> kPaused = {false, false, true, false, true};
const std::vector<bool> kEnded = {true, true, false, false, false};

TEST_F(ConversionTest, WholeConversionGivesTheGifBesideTheClipAndPlaysIt) {
    const auto clip = ShortClip();
    Input(clip->File);
    EXPECT_TRUE(LogHas("***File has been added to convert list."));
    Button(*window_, "btnStart").click();
    EXPECT_EQ(Buttons(), kRunning);
    EXPECT_EQ(window_->focusWidget(), &Button(*window_, "btnStop"));
    EXPECT_TRUE(LogHas("***Can do convert."));
    ASSERT_TRUE(ProcessEventsUntil([&] { return Button(*window_, "btnOpen").isEnabled(); }, 60000));

    EXPECT_EQ(Buttons(), kEnded);
    EXPECT_EQ(Label(*window_, "lblStatus").text(), "Conversion is complete.");
    const std::string gif = clip->Beside("clip_(new).gif");
    EXPECT_EQ(window_->FrameSink().SavedFileName(), gif);
    EXPECT_EQ(FramesIn(gif), 10);
    EXPECT_TRUE(LogHas("Frame output write header"));
    EXPECT_TRUE(LogHas("FrameOutput write frame #10, size=9216, key-frame=1"));
    EXPECT_TRUE(LogHas("Frame output write close"));
    EXPECT_TRUE(LogHas(QString::fromStdString("***GIF saved: " + gif)));
    EXPECT_TRUE(dialogs_.Messages.empty());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    // The preview window plays the GIF.
    TPreviewForm* preview = window_->PreviewWindow();
    ASSERT_TRUE(preview->isVisible());
    ASSERT_NE(preview->Animation(), nullptr);
    EXPECT_EQ(preview->windowTitle(), "clip_(new).gif");
    EXPECT_EQ(preview->size(), QSize(64, 48));
    EXPECT_EQ(preview->Animation()->Images().Count(), 10);
    ASSERT_TRUE(ProcessEventsUntil([&] { return preview->Animation()->Painters().Count() == 1; }));
    // The painter draws the frames: the picture is the clip's colour bars, not the black of an
    // empty window.
    const auto showsFrame = [&] {
        const QImage picture = Child<QLabel>(*preview, "Image").pixmap().toImage();
        if (picture.size() != QSize(64, 48)) return false;
        int lit = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x) lit += (picture.pixel(x, y) & 0xFFFFFF) != 0;
        return lit > 64 * 48 / 2;
    };
    ASSERT_TRUE(ProcessEventsUntil(showsFrame));

    // Copy GIF puts the whole animation on the clipboard.
    EXPECT_TRUE(Child<QAction>(*preview, "actCopyAnimation").isEnabled());
    Child<QAction>(*preview, "actCopyAnimation").trigger();
    const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(copied, nullptr);
    EXPECT_TRUE(copied->hasImage());
    const QByteArray bytes = copied->data("image/gif");
    ASSERT_TRUE(bytes.startsWith("GIF89a"));
    TMemoryStream stream(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    TGIFImage pasted;
    pasted.LoadFromStream(stream);
    EXPECT_EQ(pasted.Images().Count(), 10);

    // Start again converts the clip once more, and the playing stops.
    Button(*window_, "btnStart").click();
    EXPECT_EQ(preview->Animation(), nullptr);
    EXPECT_FALSE(Child<QAction>(*preview, "actCopyAnimation").isEnabled());
    ASSERT_TRUE(ProcessEventsUntil([&] { return Button(*window_, "btnOpen").isEnabled(); }, 60000));
    EXPECT_TRUE(dialogs_.Messages.empty()) << dialogs_.Messages.front().Text.toStdString();
    EXPECT_EQ(FramesIn(clip->Beside("clip_(new_1).gif")), 10);
    EXPECT_NE(preview->Animation(), nullptr);

    // Closing the window stops the painter with it.
    window_->close();
    EXPECT_EQ(window_->PreviewWindow(), nullptr);
}

TEST_F(ConversionTest, PauseResumeAndStopFollowTheButtonTable) {
    const auto clip = LongClip();
    Input(clip->File);
    Button(*window_, "btnStart").click();
    ASSERT_TRUE(ProcessEventsUntil([&] { return FrameLogged(3); }));

    // The preview window shows the frames as they come.
    TPreviewForm* preview = window_->PreviewWindow();
    EXPECT_TRUE(preview->isVisible());
    EXPECT_TRUE(preview->windowTitle().startsWith("#"));
    EXPECT_EQ(preview->size(), QSize(64, 48));
    EXPECT_EQ(Child<QLabel>(*preview, "Image").pixmap().size(), QSize(64, 48));

    Button(*window_, "btnPause").click();
    EXPECT_EQ(Buttons(), kPaused);
    EXPECT_TRUE(window_->Encoder().Paused());
    Button(*window_, "btnResume").click();
    EXPECT_EQ(Buttons(), kRunning);
    EXPECT_FALSE(window_->Encoder().Paused());

    // Unchecking the preview hides the window at once; the frames still reach the GIF.
    Child<QCheckBox>(*window_, "chkPreview").click();
    EXPECT_FALSE(preview->isVisible());
    EXPECT_FALSE(window_->Encoder().PreviewBitmap());

    Button(*window_, "btnPause").click();
    Button(*window_, "btnStop").click();
    EXPECT_FALSE(Button(*window_, "btnStop").isEnabled());
    ASSERT_TRUE(ProcessEventsUntil([&] { return Button(*window_, "btnOpen").isEnabled(); }));
    EXPECT_EQ(Buttons(), kEnded);
    EXPECT_FALSE(preview->isVisible());
    // A stopped conversion is not complete; what was converted is saved all the same.
    EXPECT_NE(Label(*window_, "lblStatus").text(), "Conversion is complete.");
    const std::string gif = clip->Beside("long_(new).gif");
    const int frames = FramesIn(gif);
    EXPECT_GE(frames, 3);
    EXPECT_LT(frames, 500);
    EXPECT_TRUE(LogHas(QString::fromStdString("***GIF saved: " + gif)));
    EXPECT_EQ(preview->Animation(), nullptr);
    EXPECT_TRUE(dialogs_.Messages.empty());
}

TEST_F(ConversionTest, ClosingTheWindowDuringAConversionStopsItAndExits) {
    const auto clip = LongClip();
    Input(clip->File);
    Button(*window_, "btnStart").click();
    ASSERT_TRUE(ProcessEventsUntil([&] { return FrameLogged(3); }));
    Button(*window_, "btnPause").click();

    // The program's message loop ends once the window has closed.
    QTimer::singleShot(0, window_.get(), [this] { Button(*window_, "ButtonClose").click(); });
    QTimer::singleShot(30000, qApp, [] { QCoreApplication::exit(1); });
    EXPECT_EQ(QApplication::exec(), 0);

    EXPECT_FALSE(window_->isVisible());
    EXPECT_EQ(window_->PreviewWindow(), nullptr);
    // The conversion has ended: its output was closed and saved, short of the clip's end.
    const int frames = FramesIn(clip->Beside("long_(new).gif"));
    EXPECT_GE(frames, 3);
    EXPECT_LT(frames, 500);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(ConversionTest, OptionCheckBoxesGoToTheFrameSink) {
    // Sixty frames a second: with clip timing the output rate is held at 50.
    const TClip clip("-f lavfi -i testsrc=size=32x24:rate=60 -t 0.5 -c:v libx264 -pix_fmt yuv420p",
                     "fast.mp4");
    adjust_ = [](TfrmOption& options) {
        EXPECT_TRUE(Child<QCheckBox>(options, "chkPlayAtClipSpeed").isChecked());
        EXPECT_FALSE(Child<QCheckBox>(options, "chkOptimize").isChecked());
        EXPECT_TRUE(options.OutputOptionsText().find(" -r 50") != std::string::npos);
        Child<QCheckBox>(options, "chkPlayAtClipSpeed").setChecked(false);
        EXPECT_EQ(options.OutputOptionsText(), " -f rawrgb -c:v rawvideo -pix_fmt bgr24");
    };
    Input(clip.File);
    ConvertToTheEnd();
    EXPECT_FALSE(window_->FrameSink().Timing().Enabled);
    EXPECT_FALSE(window_->FrameSink().OptimizeFrames());

    // Every frame of the clip, none with a delay, and no looping: the plain document.
    const std::string plain = clip.Beside("fast_(new).gif");
    TGIFImage gif;
    gif.LoadFromFile(plain);
    ASSERT_EQ(gif.Images().Count(), 30);
    for (int i = 0; i < gif.Images().Count(); ++i)
        EXPECT_EQ(gif.Images()[i].Extensions().Count(), 0) << i;

    // The dialog keeps the boxes for the next file; optimised, the same frames take less room.
    adjust_ = [](TfrmOption& options) {
        EXPECT_FALSE(Child<QCheckBox>(options, "chkPlayAtClipSpeed").isChecked());
        EXPECT_FALSE(Child<QCheckBox>(options, "chkOptimize").isChecked());
        Child<QCheckBox>(options, "chkOptimize").setChecked(true);
    };
    Input(clip.File);
    ConvertToTheEnd();
    EXPECT_TRUE(window_->FrameSink().OptimizeFrames());
    const std::string optimised = clip.Beside("fast_(new_1).gif");
    EXPECT_LT(testsupport::ReadFileBytes(optimised).size(),
              testsupport::ReadFileBytes(plain).size());
}

TEST_F(ConversionTest, FailedConversionIsReportedAndNotCalledComplete) {
    // Sound only: the output gets no frames, so no GIF is made.
    const TClip clip("-f lavfi -i sine=frequency=440:duration=0.5 -c:a pcm_s16le", "tone.wav");
    Input(clip.File);
    ConvertToTheEnd();
    EXPECT_EQ(Buttons(), kEnded);
    ASSERT_EQ(dialogs_.Messages.size(), 1u);
    EXPECT_EQ(dialogs_.Messages[0].Icon, QMessageBox::Warning);
    EXPECT_EQ(dialogs_.Messages[0].Caption, "Clip");
    EXPECT_FALSE(dialogs_.Messages[0].Text.isEmpty());
    EXPECT_NE(Label(*window_, "lblStatus").text(), "Conversion is complete.");
    EXPECT_FALSE(LogHas("***GIF saved"));
    EXPECT_FALSE(window_->PreviewWindow()->isVisible());
    EXPECT_FALSE(std::filesystem::exists(clip.Beside("tone_(new).gif")));
}

TEST_F(ConversionTest, StartAfterChoosingABadFileConvertsNothing) {
    const auto clip = ShortClip();
    Input(clip->File);
    ASSERT_TRUE(LogHas("***File has been added to convert list."));
    // Another file is chosen that cannot be read: the earlier file's task is gone.
    folder_.WriteFile("broken.mp4", "no media here");
    Input(folder_.Path() + "broken.mp4");
    ASSERT_TRUE(LogHas("***File load error: "));
    EXPECT_EQ(window_->Encoder().Tasks().Count(), 0);

    ConvertToTheEnd();
    EXPECT_EQ(Buttons(), kEnded);
    EXPECT_FALSE(LogHas("Frame output write header"));
    EXPECT_FALSE(std::filesystem::exists(clip->Beside("clip_(new).gif")));
    // Nothing was converted, so nothing is called complete.
    EXPECT_NE(Label(*window_, "lblStatus").text(), "Conversion is complete.");
    EXPECT_TRUE(dialogs_.Messages.empty());
}

// A waiting Stop lets the calls handed to the main thread run before the GUI's events, and so
// may the report of the end of a task: the lines the run logged must come before it all the
// same, every one of them.
TEST_F(ConversionTest, StoppedConversionLogsEveryFrameInOrderBeforeItsEnd) {
    const auto clip = LongClip();
    Input(clip->File);
    Button(*window_, "btnStart").click();
    ASSERT_TRUE(ProcessEventsUntil([&] { return FrameLogged(3); }));
    Button(*window_, "btnStop").click();
    ASSERT_TRUE(ProcessEventsUntil([&] { return Button(*window_, "btnOpen").isEnabled(); }));
    ExpectRunLoggedInOrder(clip->Beside("long_(new).gif"));
}

TEST_F(ConversionTest, EndReportedBeforeTheGuiEventsStillFollowsTheRunsLines) {
    const auto clip = ShortClip();
    Input(clip->File);
    Button(*window_, "btnStart").click();
    // Only the main-thread calls run, as in a waiting Stop, until the end is reported: the
    // queued calls of the run's lines have not run by then.
    QElapsedTimer timer;
    timer.start();
    while (!Button(*window_, "btnOpen").isEnabled() && timer.elapsed() < 60000) {
        CheckSynchronize();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_TRUE(Button(*window_, "btnOpen").isEnabled());
    EXPECT_EQ(Label(*window_, "lblStatus").text(), "Conversion is complete.");
    ExpectRunLoggedInOrder(clip->Beside("clip_(new).gif"));
}

}  // namespace
