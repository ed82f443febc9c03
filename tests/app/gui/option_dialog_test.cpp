// The output options dialog on real clips: the track bar's range from the clip's frames or
// tenths of seconds, stepping and seeking through the frames, the piece set with Set Start and
// Set End or typed, the frame sizes, the choices the command line offers too, and the frame at
// actual size.
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <memory>

#include "app/options/ActualSizeForm.h"
#include "app/options/FrameImage.h"
#include "app/options/OptionFrm.h"
#include "app/options/TimeEdit.h"
#include "app/widgets/BitmapImage.h"
#include "app/widgets/TrackBar.h"
#include "engine/decoder/FFDecode.h"
#include "platform/Bitmap.h"
#include "tests/app/gui/GuiTestSupport.h"
#include "tests/engine/media_test_support.h"

namespace {

using guitest::Child;
using guitest::Label;
using guitest::TScriptedDialogs;
using testsupport::MakeMedia;

struct TClips {
    testsupport::TempDir Dir;
    std::string Video25 = MakeMedia(
        "-f lavfi -i testsrc=size=64x48:rate=25 -t 10 -c:v libx264 -g 25 -pix_fmt yuv420p",
        Dir.File("ten-seconds-25fps.mp4"));
    std::string Video10 = MakeMedia(
        "-f lavfi -i testsrc=size=64x48:rate=10 -t 10 -c:v libx264 -g 10 -pix_fmt yuv420p",
        Dir.File("ten-seconds-10fps.mp4"));
    std::string Audio = MakeMedia("-f lavfi -i sine=frequency=440:duration=12.3 -c:a pcm_s16le",
                                  Dir.File("tone.wav"));
    std::string Still =
        MakeMedia("-f lavfi -i testsrc=size=64x48 -frames:v 1", Dir.File("still.png"));
    // Stored 64x48, shown turned: 48x64.
    std::string Portrait = MakeMedia(
        "-i " + testsupport::ShellQuote(Video10) + " -t 1 -c copy -metadata:s:v:0 rotate=90",
        Dir.File("portrait.mp4"));
    // Stored 720x576, shown 1024x576.
    std::string Stretched =
        MakeMedia("-f lavfi -i testsrc=size=720x576:rate=5 -t 1 -vf setsar=64/45 -c:v libx264",
                  Dir.File("stretched.mp4"));
    // A 64x48 10 fps stream and a 32x24 25 fps one, the second marked default.
    std::string TwoStreams = MakeMedia(
        "-f lavfi -i testsrc=size=64x48:rate=10 -f lavfi -i testsrc=size=32x24:rate=25 -t 1 "
        "-map 0:v -map 1:v -c:v libx264 -pix_fmt yuv420p -disposition:v:0 0 "
        "-disposition:v:1 default",
        Dir.File("two-streams.mp4"));
};

const TClips& Clips() {
    static const std::unique_ptr<TClips> clips = std::make_unique<TClips>();
    return *clips;
}

class OptionDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        guitest::Application();
        mediatest::LoadMediaLibraries();
        dialog_ = std::make_unique<TfrmOption>(nullptr);
    }

    void Prepare(const std::string& file) {
        ASSERT_TRUE(decoder_.LoadFile(file)) << decoder_.LastErrorMessage();
        dialog_->Prepare(decoder_);
    }

    // The components the tests use most.
    TTrackBar& Track() const { return Child<TTrackBar>(*dialog_, "TrackBar"); }
    QCheckBox& CutClip() const { return Child<QCheckBox>(*dialog_, "chkCutClip"); }
    TFrameImage& Picture() const { return Child<TFrameImage>(*dialog_, "Image"); }

    bool ImageIsBlack() const {
        const QImage& canvas = Picture().Canvas();
        for (int y = 0; y < canvas.height(); ++y)
            for (int x = 0; x < canvas.width(); ++x)
                if ((canvas.pixel(x, y) & 0xFFFFFF) != 0) return false;
        return true;
    }

    TFFDecoder decoder_;
    std::unique_ptr<TfrmOption> dialog_;
};

TEST_F(OptionDialogTest, StartsEmpty) {
    EXPECT_EQ(dialog_->windowTitle(), "Output Options");
    EXPECT_FALSE(Track().isEnabled());
    EXPECT_EQ(Label(*dialog_, "lblPTS").text(), "00:00:00.000");
    EXPECT_EQ(Child<QLineEdit>(*dialog_, "edtStartTime").text(), "N/A");
    EXPECT_EQ(Child<QLineEdit>(*dialog_, "edtEndTime").text(), "N/A");
    EXPECT_FALSE(CutClip().isEnabled());
    EXPECT_FALSE(CutClip().isChecked());
    EXPECT_EQ(Picture().size(), QSize(220, 145));
    EXPECT_EQ(Picture().toolTip(), "Click to view current picture in actual size");
    EXPECT_TRUE(ImageIsBlack());
    EXPECT_TRUE(Child<QPushButton>(*dialog_, "btnOk").isDefault());
}

TEST_F(OptionDialogTest, TenSecondsAt25FramesGive250Steps) {
    Prepare(Clips().Video25);
    TTrackBar& track = Track();
    EXPECT_EQ(track.maximum(), 250);
    EXPECT_EQ(track.tickInterval(), 25);
    EXPECT_EQ(track.pageStep(), 12);
    EXPECT_TRUE(track.isEnabled());
    EXPECT_TRUE(track.SliderVisible());
    EXPECT_EQ(track.value(), 0);
    EXPECT_EQ(dialog_->FrameCount(), 250);
    EXPECT_EQ(dialog_->ClipDuration(), 10000000);
    EXPECT_EQ(dialog_->ClipFrameRate(), 25);
    EXPECT_EQ(dialog_->FirstTime(), 0);
    EXPECT_EQ(Label(*dialog_, "lblPTS").text(), "00:00:00.000");
    EXPECT_TRUE(Child<QPlainTextEdit>(*dialog_, "mmoAVFileInfo")
                    .toPlainText()
                    .startsWith(QString::fromStdString("File Name: " + Clips().Video25)));
    // The first frame is shown, stretched over the whole width (64x48 fills 220x145 in height
    // with margins left and right).
    EXPECT_EQ(dialog_->PreviewBitmap().Width(), 64);
    EXPECT_EQ(dialog_->PreviewBitmap().Height(), 48);
    EXPECT_FALSE(ImageIsBlack());
    EXPECT_EQ(Picture().Canvas().pixel(0, 72) & 0xFFFFFF, 0u);
}

TEST_F(OptionDialogTest, StepsDecodeNeighboursAndJumpsSeek) {
    Prepare(Clips().Video25);
    TTrackBar& track = Track();
    track.setValue(1);
    EXPECT_EQ(dialog_->CurrentTime(), 40000);
    EXPECT_EQ(dialog_->LastPosition(), 1);
    track.setValue(2);
    EXPECT_EQ(dialog_->CurrentTime(), 80000);
    track.setValue(1);
    EXPECT_EQ(dialog_->CurrentTime(), 40000);
    track.setValue(125);
    EXPECT_EQ(dialog_->CurrentTime(), 5000000);
    EXPECT_EQ(Label(*dialog_, "lblPTS").text(), "00:00:05.000");
    EXPECT_EQ(dialog_->LastPosition(), 125);
    track.setValue(0);
    EXPECT_EQ(dialog_->CurrentTime(), 0);
    // Next Frame moves the track bar along with the frame.
    QTest::mouseClick(&Child<QPushButton>(*dialog_, "btnNextFrame"), Qt::LeftButton);
    EXPECT_EQ(dialog_->CurrentTime(), 40000);
    EXPECT_EQ(track.value(), 1);
}

TEST_F(OptionDialogTest, SetStartAndSetEndMarkThePiece) {
    Prepare(Clips().Video10);
    TTrackBar& track = Track();
    ASSERT_EQ(track.maximum(), 100);
    track.setValue(20);
    QTest::mouseClick(&Child<QPushButton>(*dialog_, "btnStartTime"), Qt::LeftButton);
    EXPECT_FALSE(CutClip().isEnabled());
    track.setValue(45);
    QTest::mouseClick(&Child<QPushButton>(*dialog_, "btnEndTime"), Qt::LeftButton);

    EXPECT_EQ(Child<QLineEdit>(*dialog_, "edtStartTime").text(), "00:00:02.000");
    EXPECT_EQ(Child<QLineEdit>(*dialog_, "edtEndTime").text(), "00:00:04.500");
    EXPECT_EQ(track.SelStart(), 20);
    EXPECT_EQ(track.SelEnd(), 45);
    EXPECT_TRUE(CutClip().isEnabled());
    EXPECT_TRUE(CutClip().isChecked());
    EXPECT_TRUE(dialog_->Cut().Active());
    EXPECT_EQ(dialog_->InputOptionsText(), " -ss 2");
    // Frames keep their own times, as the clip's timing is on by default.
    EXPECT_EQ(dialog_->OutputOptionsText(),
              " -f rawrgb -c:v rawvideo -pix_fmt rgb24 -vsync vfr -t 2.5");
    Child<QComboBox>(*dialog_, "cboFrameSize").setCurrentIndex(6);
    EXPECT_EQ(dialog_->OutputOptionsText(),
              " -f rawrgb -c:v rawvideo -pix_fmt rgb24 -vsync vfr -t 2.5 -vf \"scale=320:240\"");

    // Unchecking Cut Clip keeps the marks but cuts nothing.
    CutClip().setChecked(false);
    EXPECT_FALSE(dialog_->Cut().Active());
    CutClip().setChecked(true);

    // An end at or before the start cuts nothing.
    track.setValue(10);
    QTest::mouseClick(&Child<QPushButton>(*dialog_, "btnEndTime"), Qt::LeftButton);
    EXPECT_FALSE(CutClip().isEnabled());
    EXPECT_FALSE(CutClip().isChecked());
    EXPECT_FALSE(dialog_->Cut().Active());
    EXPECT_EQ(dialog_->InputOptionsText(), "");
    EXPECT_EQ(dialog_->OutputOptionsText(),
              " -f rawrgb -c:v rawvideo -pix_fmt rgb24 -vsync vfr -vf \"scale=320:240\"");
}

TEST_F(OptionDialogTest, SameFileKeepsThePieceAnotherFileStartsAfresh) {
    Prepare(Clips().Video10);
    Track().setValue(20);
    dialog_->btnStartTimeClick();
    Track().setValue(45);
    dialog_->btnEndTimeClick();
    decoder_.Close();

    Prepare(Clips().Video10);
    EXPECT_TRUE(dialog_->Cut().Active());
    EXPECT_EQ(Child<QLineEdit>(*dialog_, "edtStartTime").text(), "00:00:02.000");
    EXPECT_EQ(Child<QLineEdit>(*dialog_, "edtEndTime").text(), "00:00:04.500");
    EXPECT_EQ(Track().SelEnd(), 45);
    // The frame shown starts again at the first.
    EXPECT_EQ(dialog_->CurrentTime(), 0);
    decoder_.Close();

    Prepare(Clips().Video25);
    EXPECT_FALSE(dialog_->Cut().Active());
    EXPECT_FALSE(CutClip().isEnabled());
    EXPECT_EQ(Child<QLineEdit>(*dialog_, "edtStartTime").text(), "N/A");
    EXPECT_EQ(Child<QLineEdit>(*dialog_, "edtEndTime").text(), "N/A");
    EXPECT_EQ(dialog_->StartTime(), TfrmOption::kUnsetStart);
    EXPECT_EQ(dialog_->EndTime(), TfrmOption::kUnsetEnd);
    EXPECT_EQ(Track().SelStart(), 0);
    EXPECT_EQ(Track().SelEnd(), 0);
    EXPECT_EQ(Track().maximum(), 250);
}

TEST_F(OptionDialogTest, AudioOnlyFileStepsThroughTenthsOfSeconds) {
    Prepare(Clips().Audio);
    TTrackBar& track = Track();
    EXPECT_EQ(dialog_->ClipDuration(), 12300000);
    EXPECT_EQ(track.maximum(), 123);
    EXPECT_EQ(track.tickInterval(), 12);
    EXPECT_EQ(track.pageStep(), 6);
    EXPECT_TRUE(track.isEnabled());
    EXPECT_FALSE(dialog_->HasVideo());

    track.setValue(61);
    EXPECT_EQ(Label(*dialog_, "lblPTS").text(), "00:00:06.100");
    EXPECT_EQ(dialog_->CurrentTime(), 6100000);
    EXPECT_TRUE(ImageIsBlack());
    EXPECT_TRUE(dialog_->PreviewBitmap().Empty());

    // No picture, no actual-size window; no video, no scaling.
    TScriptedDialogs dialogs;
    dialog_->ImageClick();
    EXPECT_EQ(dialogs.ModalsShown, 0);
    Child<QComboBox>(*dialog_, "cboFrameSize").setCurrentIndex(27);
    EXPECT_EQ(dialog_->FrameSize(), "1280x720");
    EXPECT_EQ(dialog_->OutputOptionsText(), " -f rawrgb -c:v rawvideo -pix_fmt rgb24 -vsync vfr");
}

TEST_F(OptionDialogTest, StillPictureKeepsTheTrackBarOff) {
    Prepare(Clips().Still);
    EXPECT_FALSE(Track().isEnabled());
    EXPECT_FALSE(Track().SliderVisible());
    EXPECT_EQ(dialog_->PreviewBitmap().Width(), 64);
    EXPECT_FALSE(ImageIsBlack());
}

TEST_F(OptionDialogTest, FrameSizesOfferedInOrder) {
    QComboBox& sizes = Child<QComboBox>(*dialog_, "cboFrameSize");
    ASSERT_EQ(sizes.count(), 29);
    EXPECT_EQ(sizes.currentIndex(), 0);
    EXPECT_EQ(sizes.itemText(0), "Auto - Original");
    EXPECT_EQ(sizes.itemText(6), "320x240 - qvga");
    EXPECT_EQ(sizes.itemText(28), "1920x1080 - hd1080");
    EXPECT_EQ(dialog_->FrameSize(), "");
    sizes.setCurrentIndex(6);
    EXPECT_EQ(dialog_->FrameSize(), "320x240");
    sizes.setCurrentIndex(13);
    EXPECT_EQ(dialog_->FrameSize(), "2560x2048");
}

// A clip turned to be shown is previewed upright and offered sizes of its shape.
TEST_F(OptionDialogTest, PortraitClipIsPreviewedUprightWithPortraitSizes) {
    Prepare(Clips().Portrait);
    EXPECT_EQ(dialog_->PreviewBitmap().Width(), 48);
    EXPECT_EQ(dialog_->PreviewBitmap().Height(), 64);
    // Full height, margins left and right.
    EXPECT_EQ(Picture().Canvas().pixel(20, 72) & 0xFFFFFF, 0u);
    EXPECT_NE(Picture().Canvas().pixel(110, 72) & 0xFFFFFF, 0u);
    QComboBox& sizes = Child<QComboBox>(*dialog_, "cboFrameSize");
    EXPECT_EQ(sizes.itemText(0), "Auto - Original");
    EXPECT_EQ(sizes.itemText(6), "240x320 - qvga");
    EXPECT_EQ(sizes.itemText(28), "1080x1920 - hd1080");
    sizes.setCurrentIndex(6);
    EXPECT_EQ(dialog_->FrameSize(), "240x320");
    EXPECT_EQ(dialog_->OutputOptionsText(),
              " -f rawrgb -c:v rawvideo -pix_fmt rgb24 -vsync vfr -vf \"scale=240:320\"");

    // A landscape clip gets the list as it was.
    Prepare(Clips().Video25);
    EXPECT_EQ(sizes.itemText(6), "320x240 - qvga");
    EXPECT_EQ(dialog_->FrameSize(), "320x240");
}

// A clip whose pixels are not square is previewed, and converted by default, in the shape it is
// shown in.
TEST_F(OptionDialogTest, StretchedClipTakesItsShownShape) {
    Prepare(Clips().Stretched);
    EXPECT_EQ(dialog_->PreviewBitmap().Width(), 720);
    // 1024x576 fills the width of 220x145 with margins of 11 at top and bottom (720x576 would
    // fill the height with margins of 20 left and right).
    const QImage& canvas = Picture().Canvas();
    int top = canvas.height(), left = canvas.width();
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x)
            if (canvas.pixel(x, y) & 0xFFFFFF) {
                top = std::min(top, y);
                left = std::min(left, x);
            }
    EXPECT_EQ(top, 11);
    EXPECT_EQ(left, 0);
    EXPECT_EQ(dialog_->OutputOptionsText(),
              " -f rawrgb -c:v rawvideo -pix_fmt rgb24 -vsync vfr -vf \"scale=1024:576\"");
    // A size of the list is a box the shown shape fits into.
    Child<QComboBox>(*dialog_, "cboFrameSize").setCurrentIndex(6);
    EXPECT_EQ(dialog_->OutputOptionsText(),
              " -f rawrgb -c:v rawvideo -pix_fmt rgb24 -vsync vfr -vf \"scale=320:180\"");
}

// Of two video streams the dialog shows, counts and converts the one players show.
TEST_F(OptionDialogTest, TwoStreamsShowTheDefaultOne) {
    Prepare(Clips().TwoStreams);
    EXPECT_EQ(dialog_->PreviewBitmap().Width(), 32);
    EXPECT_EQ(dialog_->ClipFrameRate(), 25);
    EXPECT_EQ(dialog_->FrameCount(), 25);
    EXPECT_EQ(dialog_->OutputOptionsText(), " -f rawrgb -c:v rawvideo -pix_fmt rgb24 -map 0:1 -vsync vfr");
}

TEST_F(OptionDialogTest, PictureClickShowsTheFrameAtActualSize) {
    Prepare(Clips().Video25);
    Track().setValue(50);
    TScriptedDialogs dialogs;
    int results[3] = {};
    int shown = 0;
    dialogs.OnModal = [&](QDialog& window) {
        auto* form = dynamic_cast<TActualSizeForm*>(&window);
        EXPECT_NE(form, nullptr);
        if (!form) return int(QDialog::Rejected);
        EXPECT_EQ(form->windowTitle(), "64x48 @ 00:00:02.000");
        EXPECT_EQ(form->size(), QSize(64, 48));
        EXPECT_EQ(form->Picture(), ImageOfBitmap(dialog_->PreviewBitmap()));
        form->show();
        switch (shown) {
            case 0:
                QTest::keyClick(form, Qt::Key_Return);
                break;
            case 1:
                QTest::keyClick(form, Qt::Key_Escape);
                break;
            default:
                QTest::mouseClick(form, Qt::LeftButton, {}, QPoint(30, 20));
        }
        EXPECT_FALSE(form->isVisible());
        results[shown++] = form->result();
        return form->result();
    };
    for (int i = 0; i < 3; ++i) QTest::mouseClick(&Picture(), Qt::LeftButton);
    EXPECT_EQ(shown, 3);
    EXPECT_EQ(results[0], QDialog::Accepted);
    EXPECT_EQ(results[1], QDialog::Rejected);
    EXPECT_EQ(results[2], QDialog::Accepted);
}

// Types the text into the field and presses Enter there.
void Type(QLineEdit& field, const QString& text) {
    field.setFocus();
    field.selectAll();
    QTest::keyClicks(&field, text);
    QTest::keyClick(&field, Qt::Key_Return);
}

TEST_F(OptionDialogTest, TypedTimesMarkThePieceAndEnterKeepsTheDialogOpen) {
    Prepare(Clips().Video10);
    dialog_->show();
    QLineEdit& start = Child<QLineEdit>(*dialog_, "edtStartTime");
    QLineEdit& end = Child<QLineEdit>(*dialog_, "edtEndTime");
    Type(start, "2.5");
    EXPECT_TRUE(dialog_->isVisible());
    EXPECT_EQ(start.text(), "00:00:02.500");
    EXPECT_EQ(dialog_->StartTime(), 2500000);
    EXPECT_FALSE(CutClip().isEnabled());
    Type(end, "00:00:04.000");
    EXPECT_EQ(dialog_->EndTime(), 4000000);
    EXPECT_TRUE(CutClip().isChecked());
    EXPECT_EQ(Track().SelStart(), 25);
    EXPECT_EQ(Track().SelEnd(), 40);
    EXPECT_EQ(dialog_->InputOptionsText(), " -ss 2.5");
    EXPECT_EQ(dialog_->OutputOptionsText(),
              " -f rawrgb -c:v rawvideo -pix_fmt rgb24 -vsync vfr -t 1.5");

    // What is no time, or lies beyond the clip, gives way to the time before; letters cannot
    // even be typed.
    Type(end, "1:75");
    EXPECT_EQ(end.text(), "00:00:04.000");
    Type(end, "00:00:11.000");
    EXPECT_EQ(end.text(), "00:00:04.000");
    EXPECT_EQ(dialog_->EndTime(), 4000000);
    Type(end, "abc");
    EXPECT_EQ(end.text(), "00:00:04.000");
    // Emptied, the end is unset again and nothing is cut.
    end.clear();
    QTest::keyClick(&end, Qt::Key_Return);
    EXPECT_EQ(end.text(), "N/A");
    EXPECT_EQ(dialog_->EndTime(), TfrmOption::kUnsetEnd);
    EXPECT_FALSE(CutClip().isEnabled());
    EXPECT_EQ(dialog_->result(), 0);
    EXPECT_TRUE(dialog_->isVisible());
}

TEST_F(OptionDialogTest, PreviousFrameStepsBack) {
    Prepare(Clips().Video10);
    QPushButton& next = Child<QPushButton>(*dialog_, "btnNextFrame");
    QPushButton& previous = Child<QPushButton>(*dialog_, "btnPreviousFrame");
    QTest::mouseClick(&next, Qt::LeftButton);
    QTest::mouseClick(&next, Qt::LeftButton);
    EXPECT_EQ(dialog_->CurrentTime(), 200000);
    QTest::mouseClick(&previous, Qt::LeftButton);
    EXPECT_EQ(dialog_->CurrentTime(), 100000);
    EXPECT_EQ(Label(*dialog_, "lblPTS").text(), "00:00:00.100");
    EXPECT_EQ(Track().value(), 1);
}

// The choices below the frame, in the command line's words, reach the option strings: the size
// kept to the picture or not, a width with the height following, the rate, the timing.
TEST_F(OptionDialogTest, ChoicesReachTheOptionStrings) {
    Prepare(Clips().Video10);
    const std::string road = " -f rawrgb -c:v rawvideo -pix_fmt rgb24";
    QComboBox& sizes = Child<QComboBox>(*dialog_, "cboFrameSize");
    sizes.setCurrentIndex(27);  // 1280x720 for a 4:3 clip
    EXPECT_TRUE(Child<QCheckBox>(*dialog_, "chkKeepAspect").isChecked());
    EXPECT_EQ(dialog_->OutputOptionsText(), road + " -vsync vfr -vf \"scale=960:720\"");
    Child<QCheckBox>(*dialog_, "chkKeepAspect").setChecked(false);
    EXPECT_EQ(dialog_->OutputOptionsText(), road + " -vsync vfr -vf \"scale=1280:720\"");
    Child<QSpinBox>(*dialog_, "spnWidth").setValue(100);
    EXPECT_FALSE(sizes.isEnabled());
    EXPECT_EQ(dialog_->OutputOptionsText(), road + " -vsync vfr -vf \"scale=100:75\"");
    Child<QSpinBox>(*dialog_, "spnWidth").setValue(0);
    EXPECT_TRUE(sizes.isEnabled());
    sizes.setCurrentIndex(0);

    QDoubleSpinBox& rate = Child<QDoubleSpinBox>(*dialog_, "spnFrameRate");
    EXPECT_EQ(rate.text(), "Clip's own");
    EXPECT_EQ(rate.maximum(), 50);
    rate.setValue(12.5);
    EXPECT_EQ(dialog_->OutputOptionsText(), road + " -vsync vfr -r 12.5 -vf \"fps=12.5\"");
    // Without the clip's timing the frames come at a constant rate and no loop is offered.
    Child<QCheckBox>(*dialog_, "chkPlayAtClipSpeed").setChecked(false);
    EXPECT_EQ(dialog_->OutputOptionsText(), road + " -r 12.5 -vf \"fps=12.5\"");
    EXPECT_FALSE(Child<QComboBox>(*dialog_, "cboLoop").isEnabled());

    // The dithering choices are the command line's --dither names.
    QComboBox& dither = Child<QComboBox>(*dialog_, "cboDither");
    ASSERT_EQ(dither.count(), 8);
    EXPECT_EQ(dither.itemText(0), "none");
    EXPECT_EQ(dither.itemText(1), "floyd-steinberg");
    EXPECT_EQ(dither.itemText(6), "burkes");
    EXPECT_EQ(dither.itemText(7), "pattern");
}

TEST_F(OptionDialogTest, SavedChoicesSetTheComponentsAndComeBack) {
    TSavedChoices choices;
    choices.FrameSizeName = "hd480";
    choices.KeepAspect = false;
    choices.FrameRate = 7.5;
    choices.PlayAtClipSpeed = true;
    choices.Loop = TLoopChoice::Repeat;
    choices.Repeats = 3;
    choices.Dither = dcSierra;
    choices.Optimize = true;
    choices.SaveToFolder = true;
    choices.OutputFolder = "/tmp/gifs";
    dialog_->SetSavedChoices(choices);
    EXPECT_EQ(Child<QComboBox>(*dialog_, "cboFrameSize").currentText(), "852x480 - hd480");
    EXPECT_EQ(Child<QSpinBox>(*dialog_, "spnRepeats").text(), "3 times");
    EXPECT_TRUE(Child<QSpinBox>(*dialog_, "spnRepeats").isEnabled());
    EXPECT_TRUE(Child<QRadioButton>(*dialog_, "rdoFolder").isChecked());
    EXPECT_EQ(dialog_->SavedChoices(), choices);
    const TConversionChoices conversion = dialog_->Choices();
    EXPECT_EQ(conversion.Timing.LoopCount, 3);
    EXPECT_EQ(conversion.OutputFolder, "/tmp/gifs");
    EXPECT_EQ(conversion.Start, TConversionChoices::kUnsetTime);

    dialog_->SetSavedChoices(TSavedChoices());
    EXPECT_EQ(dialog_->SavedChoices(), TSavedChoices());
    EXPECT_FALSE(Child<QSpinBox>(*dialog_, "spnRepeats").isEnabled());
    EXPECT_FALSE(Child<QLineEdit>(*dialog_, "edtFolder").isEnabled());
}

}  // namespace
