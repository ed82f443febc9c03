// The options dialog's size limit and its estimate of the GIF, on real clips: the estimate
// follows the choices while the window goes on answering; a change during an estimate shows
// only the newer one, a limit shows what the GIF is fitted to or what would fit, and a limit
// that is no size is shown as such and keeps OK from closing the dialog.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <memory>

#include "app/core/ByteSize.h"
#include "app/core/FitChoice.h"
#include "app/options/GifSizeEstimate.h"
#include "app/options/OptionFrm.h"
#include "app/widgets/Palette.h"
#include "app/widgets/TrackBar.h"
#include "engine/decoder/FFDecode.h"
#include "engine/output/FrameOutputFormats.h"
#include "tests/app/gui/GuiTestSupport.h"
#include "tests/engine/media_test_support.h"

namespace {

using guitest::Child;
using guitest::ProcessEventsUntil;
using testsupport::MakeMedia;

const QString kEstimating = QStringLiteral("estimating\u2026");

struct TClips {
    testsupport::TempDir Dir;
    // Every frame differs: the GIF takes hundreds of KB at its own size.
    std::string Busy =
        MakeMedia("-f lavfi -i testsrc2=size=160x120:rate=25 -t 4 -c:v libx264 -pix_fmt yuv420p",
                  Dir.File("busy.mp4"));
    // Long enough that its estimates take a while.
    std::string Long =
        MakeMedia("-f lavfi -i testsrc2=size=320x240:rate=25 -t 30 -c:v libx264 -pix_fmt yuv420p",
                  Dir.File("long.mp4"));
};

const TClips& Clips() {
    static const std::unique_ptr<TClips> clips = std::make_unique<TClips>();
    return *clips;
}

// The bytes an estimate line begins with ("about 4.2 MB, ..."); 0 for none.
int64_t EstimatedBytes(const QString& line) {
    if (!line.startsWith(QStringLiteral("about "))) return 0;
    const QString size = line.mid(6).section(QLatin1Char(','), 0, 0);
    return ParseByteSize(size.toStdString()).value_or(0);
}

class SizeEstimateTest : public ::testing::Test {
protected:
    void SetUp() override {
        guitest::Application();
        mediatest::LoadMediaLibraries();
        RegisterFrameOutputFormats();
        dialog_ = std::make_unique<TfrmOption>(nullptr);
    }

    void Show(const std::string& file) {
        ASSERT_TRUE(decoder_.LoadFile(file)) << decoder_.LastErrorMessage();
        dialog_->Prepare(decoder_);
        dialog_->show();
    }

    QLabel& Estimate() const { return Child<QLabel>(*dialog_, "lblEstimate"); }
    QLineEdit& Limit() const { return Child<QLineEdit>(*dialog_, "edtSizeLimit"); }
    QComboBox& Sizes() const { return Child<QComboBox>(*dialog_, "cboFrameSize"); }
    // Runs the event loop until the estimate is no longer under way; its line.
    QString Estimated() const {
        EXPECT_TRUE(ProcessEventsUntil([&] { return Estimate().text() != kEstimating; }, 60000));
        return Estimate().text();
    }
    // The line the dialog should show for its choices as they are, estimated here.
    std::string ExpectedLine(const std::string& file) {
        const TFitChoice choice =
            ChooseFit(file, dialog_->Choices(), ClipFactsOf(decoder_), nullptr);
        EXPECT_TRUE(choice.Made) << choice.Error;
        return choice.EstimateLine();
    }

    TFFDecoder decoder_;
    std::unique_ptr<TfrmOption> dialog_;
};

TEST_F(SizeEstimateTest, EstimateFollowsTheChoices) {
    Show(Clips().Busy);
    EXPECT_EQ(Estimate().text(), kEstimating);
    const QString own = Estimated();
    EXPECT_EQ(own.toStdString(), ExpectedLine(Clips().Busy));
    const int64_t ownBytes = EstimatedBytes(own);
    EXPECT_GT(ownBytes, 100 * 1024) << own.toStdString();

    // A smaller frame: "estimating…" at once, then a smaller estimate.
    Child<QSpinBox>(*dialog_, "spnWidth").setValue(80);
    EXPECT_EQ(Estimate().text(), kEstimating);
    const QString smaller = Estimated();
    EXPECT_EQ(smaller.toStdString(), ExpectedLine(Clips().Busy));
    EXPECT_GT(EstimatedBytes(smaller), 0) << smaller.toStdString();
    EXPECT_LT(EstimatedBytes(smaller), ownBytes / 2);

    // The quality and the cut count too: half the clip, about half the bytes.
    Child<QSpinBox>(*dialog_, "spnQuality").setValue(40);
    EXPECT_EQ(Estimate().text(), kEstimating);
    const QString lower = Estimated();
    EXPECT_EQ(lower.toStdString(), ExpectedLine(Clips().Busy));
    dialog_->btnStartTimeClick();
    TTrackBar& track = Child<TTrackBar>(*dialog_, "TrackBar");
    track.setValue(track.maximum() / 2);
    dialog_->btnEndTimeClick();
    ASSERT_TRUE(dialog_->Cut().Active());
    EXPECT_EQ(Estimate().text(), kEstimating);
    const QString half = Estimated();
    EXPECT_EQ(half.toStdString(), ExpectedLine(Clips().Busy));
    EXPECT_LT(EstimatedBytes(half), EstimatedBytes(lower) * 3 / 4);
}

// While an estimate runs the event loop turns (a timer keeps ticking); a change meanwhile
// cancels it, and only the newer estimate shows.
TEST_F(SizeEstimateTest, AChangeDuringAnEstimateShowsOnlyTheNewerOne) {
    Show(Clips().Long);
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(5);
    Sizes().setCurrentIndex(7);  // 640x480
    // The pause over, the estimate gets under way; then the size changes.
    QTest::qWait(TGifSizeEstimate::kPauseMs + 200);
    ticks = 0;
    Child<QSpinBox>(*dialog_, "spnWidth").setValue(64);
    QStringList shown;
    ProcessEventsUntil(
        [&] {
            if (shown.isEmpty() || shown.back() != Estimate().text()) shown << Estimate().text();
            return Estimate().text() != kEstimating;
        },
        60000);
    EXPECT_GT(ticks, 3);
    EXPECT_EQ(shown.size(), 2) << shown.join(QStringLiteral(" | ")).toStdString();
    EXPECT_EQ(shown.front(), kEstimating);
    EXPECT_EQ(shown.back().toStdString(), ExpectedLine(Clips().Long));

    // Closing the dialog during an estimate ends it: nothing shows afterwards.
    Sizes().setCurrentIndex(7);
    Child<QSpinBox>(*dialog_, "spnWidth").setValue(0);
    QTest::qWait(TGifSizeEstimate::kPauseMs + 200);
    dialog_->reject();
    QTest::qWait(200);
    EXPECT_EQ(Estimate().text(), kEstimating);
}

TEST_F(SizeEstimateTest, LimitShowsWhatTheGifIsFittedToOrWhatWouldFit) {
    Show(Clips().Busy);
    const int64_t own = EstimatedBytes(Estimated());
    ASSERT_GT(own, 0);

    // A limit above the estimate leaves the choices as they are.
    Limit().setText(QString::fromStdString(TypedSizeText(own * 2)));
    EXPECT_EQ(Estimate().text(), kEstimating);
    EXPECT_EQ(Estimated().toStdString(), ExpectedLine(Clips().Busy));
    EXPECT_FALSE(Estimate().text().contains(QStringLiteral("fitted")));

    // One that binds: what the GIF is fitted to.
    Limit().setText(QString::number(own / 3));
    const QString fitted = Estimated();
    EXPECT_TRUE(fitted.contains(QStringLiteral(", fitted to "))) << fitted.toStdString();
    EXPECT_EQ(fitted.toStdString(), ExpectedLine(Clips().Busy));

    // One nothing meets: what would fit.
    Limit().setText(QStringLiteral("2K"));
    const QString cannot = Estimated();
    EXPECT_TRUE(cannot.startsWith(QStringLiteral("ClipGIF cannot fit 4 s into 2 KB; ")))
        << cannot.toStdString();
    EXPECT_EQ(dialog_->SavedChoices().SizeLimit, 2048);
}

TEST_F(SizeEstimateTest, LimitThatIsNoSizeIsShownAndKeepsOkFromClosing) {
    Show(Clips().Busy);
    QLineEdit& limit = Limit();
    limit.setFocus();
    // Letters that no size has cannot be typed.
    QTest::keyClicks(&limit, "8xyz");
    EXPECT_EQ(limit.text(), "8");
    EXPECT_TRUE(limit.hasAcceptableInput());
    QTest::keyClicks(&limit, "MM");
    EXPECT_EQ(limit.text(), "8MM");
    EXPECT_FALSE(limit.hasAcceptableInput());
    EXPECT_EQ(limit.palette().color(QPalette::Text), facecolors::InvalidText);
    EXPECT_TRUE(Estimated().startsWith(QStringLiteral("The size limit is no size")));

    QTest::mouseClick(&Child<QPushButton>(*dialog_, "btnOk"), Qt::LeftButton);
    EXPECT_TRUE(dialog_->isVisible());
    EXPECT_EQ(dialog_->result(), QDialog::Rejected);
    EXPECT_TRUE(limit.hasFocus());

    // Put right, it is taken.
    QTest::keyClick(&limit, Qt::Key_End);
    QTest::keyClick(&limit, Qt::Key_Backspace);
    EXPECT_EQ(limit.text(), "8M");
    EXPECT_NE(limit.palette().color(QPalette::Text), facecolors::InvalidText);
    EXPECT_EQ(dialog_->SavedChoices().SizeLimit, 8 * 1024 * 1024);
    QTest::mouseClick(&Child<QPushButton>(*dialog_, "btnOk"), Qt::LeftButton);
    EXPECT_FALSE(dialog_->isVisible());
    EXPECT_EQ(dialog_->result(), QDialog::Accepted);

    // A saved limit shows as one would type it; none leaves the field empty.
    TSavedChoices saved;
    saved.SizeLimit = 500 * 1024;
    dialog_->SetSavedChoices(saved);
    EXPECT_EQ(limit.text(), "500K");
    saved.SizeLimit = 0;
    dialog_->SetSavedChoices(saved);
    EXPECT_EQ(limit.text(), "");
    EXPECT_EQ(dialog_->Choices().SizeLimit, 0);
}

}  // namespace
