// The choices of the options dialog on whole conversions: they reach the task's option strings,
// the frame sink and the settings file, and come back in the next run of the program; a clip
// of variable frame rate makes the same GIF as the command line with the same choices; dropped
// files are converted one after another; the status line tells the GIF's bytes and the
// progress bar the share done.
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <filesystem>

#include "app/core/SavedChoices.h"
#include "gif/model/GIFExtensions.h"
#include "tests/app/gui/ConversionTestSupport.h"

namespace {

using guitest::Button;
using guitest::Child;
using guitest::FramesIn;
using guitest::Label;
using guitest::LogText;
using guitest::ProcessEventsUntil;
using guitest::ShortClip;
using guitest::TClip;
using ChoicesTest = guitest::TConversionFixture;

// The looping extension's count of the GIF's first frame; -1 without one.
int LoopsOf(const TGIFImage& gif) {
    const TGIFExtensionList& extensions = gif.Images()[0].Extensions();
    for (int i = 0; i < extensions.Count(); ++i)
        if (const auto* loop = dynamic_cast<const TGIFAppExtNSLoop*>(&extensions[i]))
            return loop->Loops();
    return -1;
}

TEST_F(ChoicesTest, ChoicesReachTheTaskTheSinkAndTheSettingsFile) {
    const auto clip = ShortClip();
    testsupport::TempDir gifs;
    dialogs_.FolderToChoose = QString::fromStdString(gifs.Path());
    adjust_ = [](TfrmOption& options) {
        Child<QSpinBox>(options, "spnWidth").setValue(48);
        Child<QDoubleSpinBox>(options, "spnFrameRate").setValue(5);
        Child<QComboBox>(options, "cboLoop").setCurrentIndex(2);
        Child<QSpinBox>(options, "spnRepeats").setValue(2);
        Child<QComboBox>(options, "cboDither").setCurrentText("stucki");
        Child<QPushButton>(options, "btnBrowse").click();
        EXPECT_TRUE(Child<QRadioButton>(options, "rdoFolder").isChecked());
        // The width wins over the size list; the height follows the clip's 4:3.
        EXPECT_FALSE(Child<QComboBox>(options, "cboFrameSize").isEnabled());
        EXPECT_EQ(options.OutputOptionsText(),
                  " -f rawrgb -c:v rawvideo -pix_fmt rgb24 -vsync vfr -r 5 -vf \"fps=5,scale=48:36\"");
    };
    Input(clip->File);
    ConvertToTheEnd();

    // The GIF went to the chosen folder under the clip's name, as chosen.
    const std::string gif = gifs.File("clip_(new).gif");
    ASSERT_EQ(window_->LastResult().File, gif);
    TGIFImage made;
    made.LoadFromFile(gif);
    EXPECT_EQ(made.Width(), 48);
    EXPECT_EQ(made.Height(), 36);
    EXPECT_GE(made.Images().Count(), 5);
    EXPECT_LE(made.Images().Count(), 6);
    EXPECT_EQ(LoopsOf(made), 2);
    EXPECT_EQ(window_->FrameSink().Document().DiffusionMode(), edStucki);
    EXPECT_FALSE(std::filesystem::exists(clip->Beside("clip_(new).gif")));

    // The settings file keeps them, and the next run of the program offers them again.
    TSavedChoices expected;
    expected.Width = 48;
    expected.FrameRate = 5;
    expected.Loop = TLoopChoice::Repeat;
    expected.Repeats = 2;
    expected.Dither = dcStucki;
    expected.SaveToFolder = true;
    expected.OutputFolder = gifs.Path();
    EXPECT_EQ(ReadSavedChoices(folder_.Path() + "lamecore.dll"), expected);
    window_.reset();
    window_ = StartUp(TProgramFiles::In(folder_.Path()));
    adjust_ = [&](TfrmOption& options) {
        EXPECT_EQ(options.SavedChoices(), expected);
        EXPECT_EQ(Child<QSpinBox>(options, "spnWidth").value(), 48);
        EXPECT_EQ(Child<QComboBox>(options, "cboDither").currentText(), "stucki");
        EXPECT_EQ(Child<QLineEdit>(options, "edtFolder").text(), dialogs_.FolderToChoose);
    };
    Input(clip->File);
    EXPECT_EQ(dialogs_.ModalsShown, 2);
}

// A clip whose frames come at uneven times: the window keeps their timing as the command line
// does, and the two make the same file from the same choices.
TEST_F(ChoicesTest, VariableFrameRateClipMakesTheCommandLinesGif) {
    const TClip clip(
        "-f lavfi -i testsrc=size=64x48:rate=30 -t 3 "
        "-vf \"select='lt(mod(n\\,30)\\,8)+between(n\\,40\\,44)'\" -vsync vfr "
        "-c:v libx264 -pix_fmt yuv420p",
        "uneven.mp4");
    adjust_ = [](TfrmOption& options) {
        Child<QComboBox>(options, "cboDither").setCurrentText("floyd-steinberg");
        Child<QDoubleSpinBox>(options, "spnFrameRate").setValue(0);
        Child<QComboBox>(options, "cboFrameSize").setCurrentIndex(0);
        Child<QSpinBox>(options, "spnWidth").setValue(0);
        Child<QRadioButton>(options, "rdoBesideClip").setChecked(true);
    };
    Input(clip.File);
    ConvertToTheEnd();
    const std::string gui = clip.Beside("uneven_(new).gif");
    ASSERT_EQ(window_->LastResult().File, gui);

    const std::string cli = clip.Beside("cli.gif");
    const testsupport::CommandResult run =
        testsupport::Run(testsupport::ShellQuote(testsupport::BuildProgram("clipgif-cli")) +
                         " -q --dither floyd-steinberg -o " + testsupport::ShellQuote(cli) + " " +
                         testsupport::ShellQuote(clip.File));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(testsupport::ReadFileBytes(gui), testsupport::ReadFileBytes(cli));
    // The clip's own 29 frames, not a constant rate filled with repeats.
    EXPECT_EQ(FramesIn(gui), 29);
}

TEST_F(ChoicesTest, DroppedFilesAreConvertedOneAfterAnotherWithTheSameOptions) {
    const auto first = ShortClip();
    const auto second = ShortClip();
    const TClip tone("-f lavfi -i sine=frequency=440:duration=0.5 -c:a pcm_s16le", "tone.wav");
    adjust_ = [](TfrmOption& options) {
        Child<QComboBox>(options, "cboFrameSize").setCurrentIndex(5);  // 160x120
    };
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(first->File)),
                  QUrl::fromLocalFile(QString::fromStdString(tone.File)),
                  QUrl::fromLocalFile(QString::fromStdString(second->File))});
    QWidget& face = Child<QWidget>(*window_, "Face");
    QDragEnterEvent enter(QPoint(300, 200), Qt::CopyAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(&face, &enter);
    QDropEvent drop(QPointF(300, 200), Qt::CopyAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(&face, &drop);
    ASSERT_TRUE(ProcessEventsUntil([&] { return dialogs_.ModalsShown == 1; }))
        << LogText(*window_).toStdString();
    EXPECT_TRUE(Label(*window_, "txtInput").text().endsWith("(and 2 more)"));
    ConvertToTheEnd();

    // One options dialog; the file without video is passed over; both clips at 160x120.
    EXPECT_EQ(dialogs_.ModalsShown, 1);
    for (const TClip* clip : {first.get(), second.get()}) {
        TGIFImage gif;
        gif.LoadFromFile(clip->Beside("clip_(new).gif"));
        EXPECT_EQ(gif.Width(), 160);
        EXPECT_EQ(gif.Images().Count(), 10);
    }
    const QString log = LogText(*window_);
    const auto at = [&](const std::string& line) {
        return log.indexOf(QString::fromStdString(line));
    };
    const qsizetype firstRun = at("***Converting file 1 of 3: " + first->File);
    const qsizetype skipped = at("***No video to convert in " + tone.File);
    const qsizetype secondRun = at("***Converting file 3 of 3: " + second->File);
    EXPECT_GE(firstRun, 0);
    EXPECT_GT(skipped, firstRun);
    EXPECT_GT(secondRun, skipped);
    EXPECT_EQ(window_->LastResult().File, second->Beside("clip_(new).gif"));
    EXPECT_EQ(Label(*window_, "lblStatus").text(), "Conversion is complete.");
    EXPECT_TRUE(dialogs_.Messages.empty());
}

// While converting: the GIF's bytes so far, the clip's time as a time text, and the share done.
TEST_F(ChoicesTest, StatusLineTellsTheGifsBytesAndTheProgressBarTheShareDone) {
    // Large enough frames that the run lasts through several reports.
    const TClip clip(
        "-f lavfi -i testsrc=size=320x240:rate=25 -t 20 -c:v libx264 -preset ultrafast "
        "-pix_fmt yuv420p",
        "long.mp4");
    window_->Encoder().SetProgressInterval(100);
    Input(clip.File);
    Button(*window_, "btnStart").click();
    const QLabel& status = Label(*window_, "lblStatus");
    const QProgressBar& progress = Child<QProgressBar>(*window_, "prgConversion");
    ASSERT_TRUE(ProcessEventsUntil([&] {
        return status.text().startsWith("Frame number") &&
               !status.text().contains("Size: 0 bytes") && progress.value() > 0;
    })) << status.text().toStdString()
        << " / " << progress.value() << "\n"
        << LogText(*window_).right(2000).toStdString();
    EXPECT_TRUE(
        QRegularExpression(
            QStringLiteral("Size: [0-9.]+ (bytes|KB|MB); Time: \\d\\d:\\d\\d:\\d\\d\\.\\d{3}$"))
            .match(status.text())
            .hasMatch())
        << status.text().toStdString();
    EXPECT_TRUE(progress.isVisible());
    EXPECT_TRUE(progress.format().contains("%"));
    Button(*window_, "btnStop").click();
    ASSERT_TRUE(ProcessEventsUntil([&] { return Button(*window_, "btnOpen").isEnabled(); }));
    EXPECT_FALSE(progress.isVisible());
    // What was converted is saved, and the result line says so.
    EXPECT_TRUE(Label(*window_, "lblResult").isVisible());
}

}  // namespace
