// Whole conversions driven through the main window offscreen: Input, the options dialog and
// Start up to "Conversion is complete." with the GIF beside the clip; Stop, Pause and Resume
// along the button table; closing the window during a conversion; the options dialog's check
// boxes; the GIF made playing in the preview window and copied to the clipboard; the log of a
// run complete and in order before the report of its end.
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QMimeData>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "app/core/SavedChoices.h"
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
#include "tests/app/gui/ConversionTestSupport.h"

namespace {

using guitest::Button;
using guitest::Child;
using guitest::FramesIn;
using guitest::Label;
using guitest::LogText;
using guitest::LongClip;
using guitest::ProcessEventsUntil;
using guitest::ShortClip;
using guitest::TClip;
using guitest::TProgramFolder;
using guitest::TScriptedDialogs;
using ConversionTest = guitest::TConversionFixture;

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
    // The status line shows what fits; its tool tip holds the whole text.
    const QLabel& status = Label(*window_, "lblStatus");
    const QString statusText = status.toolTip().isEmpty() ? status.text() : status.toolTip();
    EXPECT_TRUE(statusText.startsWith("Conversion is complete, but frames were lost (" + lost))
        << statusText.toStdString();
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

    // The result line shows the GIF made, with its actions.
    EXPECT_TRUE(Label(*window_, "lblResult").isVisible());
    EXPECT_TRUE(Label(*window_, "lblResult").text().startsWith("clip_(new).gif"));
    EXPECT_TRUE(Label(*window_, "lblResult").text().contains("10 frames"));
    EXPECT_TRUE(Label(*window_, "lblResult").text().contains("64x48"));
    EXPECT_EQ(window_->LastResult().Bytes, static_cast<int64_t>(std::filesystem::file_size(gif)));
    Button(*window_, "btnShowInFolder").click();
    EXPECT_EQ(dialogs_.ShownInFolder, QStringList{QString::fromStdString(gif)});

    // The preview window plays the GIF from its file, off the GUI thread.
    TPreviewForm* preview = window_->PreviewWindow();
    EXPECT_EQ(preview->PlayingFile(), gif);
    EXPECT_EQ(preview->windowTitle(), "clip_(new).gif");
    ASSERT_TRUE(ProcessEventsUntil([&] { return preview->Player().PicturesShown() >= 12; }));
    ASSERT_TRUE(preview->isVisible());
    EXPECT_EQ(preview->size(), QSize(64, 48));
    // The pictures are the clip's colour bars, not the black of an empty window.
    const QImage picture = Child<QLabel>(*preview, "Image").pixmap().toImage();
    ASSERT_EQ(picture.size(), QSize(64, 48));
    int lit = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) lit += (picture.pixel(x, y) & 0xFFFFFF) != 0;
    EXPECT_GT(lit, 64 * 48 / 2);

    // Copy GIF puts the whole file on the clipboard, and a picture; from the result line and
    // from the preview's menu alike.
    for (const auto& copy : std::vector<std::function<void()>>{
             [&] { Button(*window_, "btnCopyGif").click(); },
             [&] { Child<QAction>(*preview, "actCopyAnimation").trigger(); }}) {
        QGuiApplication::clipboard()->clear();
        copy();
        const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
        ASSERT_NE(copied, nullptr);
        EXPECT_TRUE(copied->hasImage());
        const QByteArray bytes = copied->data("image/gif");
        EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.end()),
                  testsupport::ReadFileBytes(gif));
    }

    // Start again converts the clip once more, and the playing stops.
    Button(*window_, "btnStart").click();
    EXPECT_EQ(preview->PlayingFile(), "");
    EXPECT_FALSE(Child<QAction>(*preview, "actCopyAnimation").isEnabled());
    EXPECT_FALSE(Label(*window_, "lblResult").isVisible());
    ASSERT_TRUE(ProcessEventsUntil([&] { return Button(*window_, "btnOpen").isEnabled(); }, 60000));
    EXPECT_TRUE(dialogs_.Messages.empty()) << dialogs_.Messages.front().Text.toStdString();
    EXPECT_EQ(FramesIn(clip->Beside("clip_(new_1).gif")), 10);
    EXPECT_EQ(preview->PlayingFile(), clip->Beside("clip_(new_1).gif"));

    // Closing the window stops the playing with it.
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
    EXPECT_EQ(preview->PlayingFile(), "");
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
    // Sixty frames a second: the output rate is held at 50, with clip timing or without.
    const TClip clip("-f lavfi -i testsrc=size=32x24:rate=60 -t 0.5 -c:v libx264 -pix_fmt yuv420p",
                     "fast.mp4");
    adjust_ = [](TfrmOption& options) {
        EXPECT_TRUE(Child<QCheckBox>(options, "chkPlayAtClipSpeed").isChecked());
        EXPECT_FALSE(Child<QCheckBox>(options, "chkOptimize").isChecked());
        EXPECT_EQ(options.OutputOptionsText(),
                  " -f rawrgb -c:v rawvideo -pix_fmt rgb24 -vsync vfr -r 50 -vf \"fps=50\"");
        Child<QCheckBox>(options, "chkPlayAtClipSpeed").setChecked(false);
        EXPECT_EQ(options.OutputOptionsText(), " -f rawrgb -c:v rawvideo -pix_fmt rgb24 -r 50 -vf \"fps=50\"");
        // Every frame whole, to count them; optimising is for these colours only.
        EXPECT_FALSE(Child<QCheckBox>(options, "chkOptimize").isEnabled());
        Child<QComboBox>(options, "cboColors").setCurrentIndex(1);
        EXPECT_TRUE(Child<QCheckBox>(options, "chkOptimize").isEnabled());
        EXPECT_FALSE(Child<QSpinBox>(options, "spnQuality").isEnabled());
        EXPECT_EQ(options.OutputOptionsText(), " -f rawrgb -c:v rawvideo -pix_fmt bgr24 -r 50 -vf \"fps=50\"");
    };
    Input(clip.File);
    ConvertToTheEnd();
    EXPECT_FALSE(window_->FrameSink().Timing().Enabled);
    EXPECT_FALSE(window_->FrameSink().OptimizeFrames());

    // A constant 50 frames a second (about 25 of the clip's 30), none with a delay, and no
    // looping: the plain document.
    const std::string plain = clip.Beside("fast_(new).gif");
    TGIFImage gif;
    gif.LoadFromFile(plain);
    ASSERT_GE(gif.Images().Count(), 25);
    ASSERT_LE(gif.Images().Count(), 27);
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
    // The GIF is to go to a folder that does not exist: it cannot be saved.
    const auto clip = ShortClip();
    adjust_ = [&](TfrmOption& options) {
        TSavedChoices choices;
        choices.SaveToFolder = true;
        choices.OutputFolder = clip->Beside("missing/folder");
        options.SetSavedChoices(choices);
    };
    Input(clip->File);
    ConvertToTheEnd();
    EXPECT_EQ(Buttons(), kEnded);
    ASSERT_EQ(dialogs_.Messages.size(), 1u);
    EXPECT_EQ(dialogs_.Messages[0].Icon, QMessageBox::Warning);
    EXPECT_EQ(dialogs_.Messages[0].Caption, "Clip");
    EXPECT_FALSE(dialogs_.Messages[0].Text.isEmpty());
    EXPECT_NE(Label(*window_, "lblStatus").text(), "Conversion is complete.");
    EXPECT_FALSE(LogHas("***GIF saved"));
    EXPECT_FALSE(Label(*window_, "lblResult").isVisible());
    EXPECT_FALSE(window_->PreviewWindow()->isVisible());
    EXPECT_FALSE(std::filesystem::exists(clip->Beside("clip_(new).gif")));
}

// A file that cannot be read, or has no video, is reported when it is opened and changes
// nothing: the file shown before stays, and so does its conversion.
TEST_F(ConversionTest, BadFileOrFileWithoutVideoKeepsThePreviousConversion) {
    const auto clip = ShortClip();
    Input(clip->File);
    ASSERT_TRUE(LogHas("***File has been added to convert list."));
    const QString shown = Label(*window_, "txtInput").text();
    folder_.WriteFile("broken.mp4", "no media here");
    Input(folder_.Path() + "broken.mp4");
    EXPECT_TRUE(LogHas("***File load error: "));
    const TClip tone("-f lavfi -i sine=frequency=440:duration=0.5 -c:a pcm_s16le", "tone.wav");
    Input(tone.File);
    ASSERT_EQ(dialogs_.Messages.size(), 1u);
    EXPECT_EQ(dialogs_.Messages[0].Icon, QMessageBox::Warning);
    EXPECT_EQ(dialogs_.Messages[0].Text, "tone.wav has no video to convert.");
    // Neither reached the options dialog.
    EXPECT_EQ(dialogs_.ModalsShown, 1);
    EXPECT_EQ(Label(*window_, "txtInput").text(), shown);
    EXPECT_EQ(window_->Encoder().Tasks().Count(), 1);
    EXPECT_TRUE(Button(*window_, "btnStart").isEnabled());

    ConvertToTheEnd();
    EXPECT_EQ(FramesIn(clip->Beside("clip_(new).gif")), 10);
    EXPECT_FALSE(std::filesystem::exists(tone.Beside("tone_(new).gif")));
}

// Start is offered only while a task is ready: not before a file, not after the options dialog
// was cancelled, not once the file set up can no longer be added.
TEST_F(ConversionTest, StartOnlyWhileATaskIsReady) {
    EXPECT_FALSE(Button(*window_, "btnStart").isEnabled());
    folder_.WriteFile("broken.mp4", "no media here");
    Input(folder_.Path() + "broken.mp4");
    EXPECT_FALSE(Button(*window_, "btnStart").isEnabled());

    const auto clip = ShortClip();
    dialogs_.OnModal = [](QDialog&) { return int(QDialog::Rejected); };
    Input(clip->File);
    EXPECT_FALSE(Button(*window_, "btnStart").isEnabled());
    EXPECT_EQ(window_->Encoder().Tasks().Count(), 0);

    dialogs_.OnModal = [](QDialog&) { return int(QDialog::Accepted); };
    Input(clip->File);
    EXPECT_TRUE(Button(*window_, "btnStart").isEnabled());
    ConvertToTheEnd();
    EXPECT_TRUE(Button(*window_, "btnStart").isEnabled());

    // The clip goes away: the run after it cannot add its task, and Start is withdrawn.
    std::filesystem::remove(clip->File);
    ConvertToTheEnd();
    EXPECT_TRUE(LogHas("***File load error: "));
    EXPECT_FALSE(Button(*window_, "btnStart").isEnabled());
    EXPECT_TRUE(Button(*window_, "btnOpen").isEnabled());
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
