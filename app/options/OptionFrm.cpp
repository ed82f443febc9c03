#include "app/options/OptionFrm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>

#include "app/core/FrameSizes.h"
#include "app/options/ActualSizeForm.h"
#include "app/options/ByteSizeEdit.h"
#include "app/options/FrameImage.h"
#include "app/options/GifSizeEstimate.h"
#include "app/options/OptionRules.h"
#include "app/options/TimeEdit.h"
#include "app/widgets/BitmapImage.h"
#include "app/widgets/Dialogs.h"
#include "app/widgets/TrackBar.h"
#include "engine/core/FFUtils.h"
#include "engine/decoder/FFDecode.h"
#include "platform/Bitmap.h"

namespace {

// libav's seek flags tried in turn when the track bar jumps: none, backward, any frame.
constexpr int kSeekFlagsInTurn[] = {0, 1, 4};

QString TimeText(int64_t time) { return QString::fromStdString(FormatTimestamp(time)); }

// Sets a flag for the life of the scope and runs `atEnd` when it ends, also on an error.
template <class AtEnd>
class TUpdatingScope {
public:
    TUpdatingScope(bool& flag, AtEnd atEnd) : flag_(flag), atEnd_(atEnd) { flag_ = true; }
    ~TUpdatingScope() {
        atEnd_();
        flag_ = false;
    }
    TUpdatingScope(const TUpdatingScope&) = delete;
    TUpdatingScope& operator=(const TUpdatingScope&) = delete;

private:
    bool& flag_;
    AtEnd atEnd_;
};

}  // namespace

TfrmOption::TfrmOption(QWidget* owner) : QDialog(owner) {
    CreateComponents();
    estimate_ = std::make_unique<TGifSizeEstimate>(
        *lblEstimate, [this](QString& why) { return EstimateRequest(why); });
    ConnectHandlers();
    FormCreate();
}

// The estimate under way ends before the components it shows in.
TfrmOption::~TfrmOption() {
    estimate_.reset();
    FormDestroy();
}

void TfrmOption::FormCreate() {
    Image->setToolTip(QStringLiteral("Click to view current picture in actual size"));
    previewBitmap_ = std::make_unique<TBitmap>();
    Reset(true);
}

void TfrmOption::FormDestroy() { previewBitmap_.reset(); }

void TfrmOption::Reset(bool all) {
    currentTime_ = 0;
    lblPTS->setText(TimeText(0));
    previewBitmap_->SetSize(0, 0);
    Image->FillBlack();
    TrackBar->setEnabled(false);
    TrackBar->setValue(0);
    UpdateTrackBarRange();
    if (!all) return;
    clipDuration_ = 0;
    frameCount_ = 0;
    firstTime_ = kUnsetStart;
    startTime_ = kUnsetStart;
    endTime_ = kUnsetEnd;
    TrackBar->SetSelStart(0);
    TrackBar->SetSelEnd(0);
    chkCutClip->setEnabled(false);
    chkCutClip->setChecked(false);
    edtStartTime->ShowTime(std::nullopt);
    edtEndTime->ShowTime(std::nullopt);
}

void TfrmOption::UpdateTrackBarRange() {
    const bool wasEnabled = TrackBar->isEnabled();
    TrackBar->setEnabled(false);
    const TTrackBarRange range =
        TrackBarRangeFor(frameCount_, TrackBar->value(), TrackBar->maximum());
    TrackBar->setMaximum(range.Maximum);
    TrackBar->setTickInterval(range.Frequency);
    TrackBar->setPageStep(range.PageSize);
    TrackBar->setValue(range.Position);
    lastPosition_ = range.Position;
    TrackBar->setEnabled(wasEnabled);
    TrackBar->SetSliderVisible(wasEnabled);
}

void TfrmOption::Prepare(TFFDecoder& decoder) {
    const TFileInfo info = decoder.GetFileInfo();
    const std::string fileName = decoder.FileName();
    const bool sameFile = prepared_ && fileName == preparedName_ &&
                          info.Duration == preparedDuration_ && info.StartTime == preparedStart_;
    prepared_ = true;
    preparedName_ = fileName;
    preparedDuration_ = info.Duration;
    preparedStart_ = info.StartTime;
    Reset(!sameFile);

    decoder_ = &decoder;
    facts_ = ClipFactsOf(decoder);
    mmoAVFileInfo->setPlainText(QString::fromUtf8(decoder.FileInfoText().c_str()));
    firstVideoStream_ = decoder.FirstVideoStream();
    firstAudioStream_ = decoder.FirstAudioStream();
    const bool durationKnown = info.Duration != -1;
    TrackBar->setEnabled(durationKnown && !IsStillPictureFormat(decoder.FormatName().c_str()));
    if (durationKnown) clipDuration_ = info.Duration;
    TakeShownPicture();
    frameCount_ = CountFrames(info.Duration, durationKnown);
    TakeFrameRate();
    if (firstVideoStream_ >= 0) NextFrame();
    UpdateTrackBarRange();
}

// Video frames of the video stream shown, from its own duration or the file's; tenths of
// seconds of the file's duration when there is no video stream with a frame rate.
int32_t TfrmOption::CountFrames(int64_t fileDuration, bool durationKnown) {
    TVideoStreamInfo video;
    if (videoStream_ >= 0 && decoder_->GetVideoStreamInfo(videoStream_, video) &&
        video.FrameRateDen > 0) {
        if (video.DurationUs > 0)
            return FramesInDuration(video.DurationUs, video.FrameRateNum, video.FrameRateDen);
        if (durationKnown)
            return FramesInDuration(fileDuration, video.FrameRateNum, video.FrameRateDen);
        return frameCount_;
    }
    return durationKnown ? TenthsInDuration(fileDuration) : frameCount_;
}

void TfrmOption::TakeFrameRate() {
    TVideoStreamInfo video;
    clipFrameRate_ = 0;
    if (videoStream_ >= 0 && decoder_->GetVideoStreamInfo(videoStream_, video) &&
        video.FrameRateNum > 0 && video.FrameRateDen > 0)
        clipFrameRate_ = static_cast<double>(video.FrameRateNum) / video.FrameRateDen;
}

// The decoder shows (and a conversion converts) the video stream players show, turned upright.
void TfrmOption::TakeShownPicture() {
    videoStream_ = decoder_->DefaultVideoStream();
    shownWidth_ = shownHeight_ = 0;
    stretched_ = false;
    TVideoStreamInfo video;
    if (videoStream_ >= 0 && decoder_->GetVideoStreamInfo(videoStream_, video) &&
        video.ShownWidth > 0 && video.ShownHeight > 0) {
        shownWidth_ = video.ShownWidth;
        shownHeight_ = video.ShownHeight;
        stretched_ =
            video.ShownWidth != video.UprightWidth || video.ShownHeight != video.UprightHeight;
    }
    OfferSizesUpright();
}

// A picture shown in portrait is offered portrait sizes.
void TfrmOption::OfferSizesUpright() {
    const bool portrait = shownHeight_ > shownWidth_;
    const auto presets = FrameSizePresets();
    for (int i = 0; i < cboFrameSize->count() && i < static_cast<int>(presets.size()); ++i)
        cboFrameSize->setItemText(i, QString::fromStdString(FrameSizeItemText(
                                         presets[static_cast<size_t>(i)], portrait)));
}

void TfrmOption::ShowCurrentFrame() {
    currentTime_ = decoder_->CurrentFrameTime();
    if (firstTime_ == kUnsetStart) firstTime_ = currentTime_;
    lblPTS->setText(TimeText(currentTime_));
    if (!updating_ && clipDuration_ > 0) {
        TUpdatingScope scope(updating_, [] {});
        TrackBar->setValue(TrackBarPositionOf(currentTime_, clipDuration_, TrackBar->maximum()));
    }
    if (decoder_->CopyFrameToBitmap(*previewBitmap_)) DrawPreview();
}

// The frame takes the shape it is shown in: a clip whose pixels are not square is stretched.
void TfrmOption::DrawPreview() {
    const bool shownShape = stretched_ && shownWidth_ > 0 && !previewBitmap_->Empty();
    const TPlacement placement = AspectPlacement(
        shownShape ? shownWidth_ : previewBitmap_->Width(),
        shownShape ? shownHeight_ : previewBitmap_->Height(), Image->width(), Image->height());
    Image->Draw(ImageOfBitmap(*previewBitmap_), placement);
}

void TfrmOption::NextFrame() {
    if (decoder_->DecodeNextFrame(-1)) ShowCurrentFrame();
}

void TfrmOption::btnNextFrameClick() {
    if (decoder_) NextFrame();
}

void TfrmOption::btnPreviousFrameClick() {
    if (decoder_ && decoder_->DecodePreviousFrame(-1)) ShowCurrentFrame();
}

void TfrmOption::TrackBarChange() {
    const int position = TrackBar->value();
    if (firstVideoStream_ < 0) {
        currentTime_ = TimeOfTrackBarPosition(position, TrackBar->maximum(), clipDuration_);
        lblPTS->setText(TimeText(currentTime_));
        return;
    }
    if (updating_ || !TrackBar->isEnabled() || position == lastPosition_ || !decoder_) return;
    TUpdatingScope scope(updating_, [this, position] { lastPosition_ = position; });
    StepTrackBar(position);
}

// One step forward or back decodes the neighbouring frame; a jump seeks.
void TfrmOption::StepTrackBar(int position) {
    if (position == lastPosition_ + 1) {
        if (decoder_->DecodeNextFrame(-1)) ShowCurrentFrame();
        return;
    }
    if (position == lastPosition_ - 1) {
        if (decoder_->DecodePreviousFrame(-1)) ShowCurrentFrame();
        return;
    }
    const int64_t target = TimeOfTrackBarPosition(position, TrackBar->maximum(), clipDuration_);
    if (SeekNear(target)) ShowFrameFrom(target);
}

bool TfrmOption::SeekNear(int64_t target) {
    for (const int flags : kSeekFlagsInTurn)
        if (decoder_->Seek(flags, target)) return true;
    return false;
}

// Decodes on to the first frame at or after the target and shows it.
void TfrmOption::ShowFrameFrom(int64_t target) {
    while (decoder_->DecodeNextFrame(-1)) {
        if (target <= 0 || decoder_->CurrentFrameTime() >= target) {
            ShowCurrentFrame();
            return;
        }
    }
}

void TfrmOption::btnStartTimeClick() {
    TrackBar->SetSelStart(TrackBar->value());
    edtStartTime->ShowTime(currentTime_);
    startTime_ = currentTime_;
    UpdateCutClip();
}

void TfrmOption::btnEndTimeClick() {
    TrackBar->SetSelEnd(TrackBar->value());
    edtEndTime->ShowTime(currentTime_);
    endTime_ = currentTime_;
    UpdateCutClip();
}

// A typed time lies within the clip: from its first frame (0 unless that is earlier) to as
// long after it as the clip lasts, when that is known.
bool TfrmOption::TimeFitsClip(int64_t time) const {
    const int64_t first = firstTime_ == kUnsetStart ? 0 : firstTime_;
    const int64_t earliest = std::min<int64_t>(first, 0);
    const int64_t latest = std::max<int64_t>(first, 0) + clipDuration_;
    return time >= earliest && (clipDuration_ <= 0 || time <= latest);
}

bool TfrmOption::StartTimeTyped(std::optional<int64_t> time) {
    if (time && !TimeFitsClip(*time)) return false;
    startTime_ = time.value_or(kUnsetStart);
    TrackBar->SetSelStart(time ? TrackBarPositionOf(*time, clipDuration_, TrackBar->maximum()) : 0);
    UpdateCutClip();
    return true;
}

bool TfrmOption::EndTimeTyped(std::optional<int64_t> time) {
    if (time && !TimeFitsClip(*time)) return false;
    endTime_ = time.value_or(kUnsetEnd);
    TrackBar->SetSelEnd(time ? TrackBarPositionOf(*time, clipDuration_, TrackBar->maximum()) : 0);
    UpdateCutClip();
    return true;
}

void TfrmOption::UpdateCutClip() {
    const bool valid = startTime_ < endTime_;
    chkCutClip->setEnabled(valid);
    chkCutClip->setChecked(valid);
    ChoicesChanged();
}

void TfrmOption::ImageClick() {
    if (previewBitmap_->Empty()) return;
    const QString caption = QStringLiteral("%1x%2 @ %3")
                                .arg(previewBitmap_->Width())
                                .arg(previewBitmap_->Height())
                                .arg(TimeText(currentTime_));
    TActualSizeForm form(ImageOfBitmap(*previewBitmap_), caption, this);
    Dialogs().ShowModal(form);
}

TClipCut TfrmOption::Cut() const {
    TClipCut cut;
    cut.Checked = chkCutClip->isEnabled() && chkCutClip->isChecked();
    cut.StartTime = startTime_;
    cut.EndTime = endTime_;
    cut.FirstTime = firstTime_;
    return cut;
}

std::string TfrmOption::FrameSize() const {
    if (cboFrameSize->currentIndex() <= 0) return std::string();
    return FrameSizeOfItem(cboFrameSize->currentText().toStdString());
}

TSavedChoices TfrmOption::SavedChoices() const {
    TSavedChoices choices;
    const int size = cboFrameSize->currentIndex();
    if (size > 0) choices.FrameSizeName = FrameSizePresets()[static_cast<size_t>(size)].Name;
    choices.KeepAspect = chkKeepAspect->isChecked();
    choices.Width = spnWidth->value();
    choices.FrameRate = spnFrameRate->value();
    choices.PlayAtClipSpeed = chkPlayAtClipSpeed->isChecked();
    choices.Loop = static_cast<TLoopChoice>(cboLoop->currentIndex());
    if (choices.Loop == TLoopChoice::Repeat) choices.Repeats = spnRepeats->value();
    choices.Colors = static_cast<TFrameColors>(cboColors->currentIndex());
    choices.Quality = spnQuality->value();
    choices.Dither = static_cast<TDitherChoice>(cboDither->currentIndex());
    choices.Optimize = chkOptimize->isChecked();
    choices.SizeLimit = edtSizeLimit->Bytes().value_or(0);
    choices.OutputFolder = edtFolder->text().toStdString();
    choices.SaveToFolder = rdoFolder->isChecked() && !choices.OutputFolder.empty();
    return choices;
}

void TfrmOption::SetSavedChoices(const TSavedChoices& choices) {
    int size = 0;
    const auto presets = FrameSizePresets();
    for (size_t i = 1; i < presets.size(); ++i)
        if (choices.FrameSizeName == presets[i].Name) size = static_cast<int>(i);
    cboFrameSize->setCurrentIndex(size);
    chkKeepAspect->setChecked(choices.KeepAspect);
    spnWidth->setValue(choices.Width);
    spnFrameRate->setValue(choices.FrameRate);
    chkPlayAtClipSpeed->setChecked(choices.PlayAtClipSpeed);
    cboLoop->setCurrentIndex(static_cast<int>(choices.Loop));
    spnRepeats->setValue(choices.Repeats);
    cboColors->setCurrentIndex(static_cast<int>(choices.Colors));
    spnQuality->setValue(choices.Quality);
    cboDither->setCurrentIndex(static_cast<int>(choices.Dither));
    chkOptimize->setChecked(choices.Optimize);
    edtSizeLimit->ShowBytes(choices.SizeLimit);
    edtFolder->setText(QString::fromStdString(choices.OutputFolder));
    (choices.SaveToFolder ? rdoFolder : rdoBesideClip)->setChecked(true);
    UpdateEnabled();
}

// The piece of the clip counts from where the input is sought: the start, less a negative time
// of the first frame.
TConversionChoices TfrmOption::Choices() const {
    TConversionChoices choices = ConversionChoicesOf(SavedChoices());
    // A picture shown in portrait is offered the sizes of the list turned.
    if (shownHeight_ > shownWidth_) std::swap(choices.Size.Width, choices.Size.Height);
    const TClipCut cut = Cut();
    if (cut.Active()) {
        choices.Start = cut.Seek();
        choices.End = choices.Start + (cut.EndTime - cut.StartTime);
    }
    return choices;
}

void TfrmOption::UpdateEnabled() {
    const bool byWidth = spnWidth->value() > 0;
    cboFrameSize->setEnabled(!byWidth);
    chkKeepAspect->setEnabled(!byWidth);
    const bool timed = chkPlayAtClipSpeed->isChecked();
    cboLoop->setEnabled(timed);
    spnRepeats->setEnabled(timed &&
                           cboLoop->currentIndex() == static_cast<int>(TLoopChoice::Repeat));
    edtFolder->setEnabled(rdoFolder->isChecked());
    // The fitted colours have a quality and always store only what changed.
    const bool fitted = cboColors->currentIndex() == static_cast<int>(TFrameColors::Fitted);
    spnQuality->setEnabled(fitted);
    chkOptimize->setEnabled(!fitted);
}

void TfrmOption::btnBrowseClick() {
    const QString folder =
        Dialogs().ChooseFolder(this, QStringLiteral("Save the GIF in"), edtFolder->text());
    if (folder.isEmpty()) return;
    edtFolder->setText(folder);
    rdoFolder->setChecked(true);
    UpdateEnabled();
}

// A size limit that is no size cannot be taken: the field is shown for putting it right.
void TfrmOption::btnOkClick() {
    if (!edtSizeLimit->Valid()) {
        edtSizeLimit->setFocus();
        edtSizeLimit->selectAll();
        return;
    }
    accept();
}

void TfrmOption::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    estimate_->Restart();
}

void TfrmOption::hideEvent(QHideEvent* event) {
    estimate_->Stop();
    QDialog::hideEvent(event);
}

void TfrmOption::SetQuietThreads(TQuietThreads* threads) { estimate_->SetQuietThreads(threads); }

void TfrmOption::ChoicesChanged() {
    if (isVisible()) estimate_->Restart();
}

// The clip as prepared, with the choices as they stand.
std::optional<TEstimateRequest> TfrmOption::EstimateRequest(QString& why) const {
    if (!prepared_ || firstVideoStream_ < 0) return std::nullopt;
    if (!edtSizeLimit->Valid()) {
        why = QStringLiteral("The size limit is no size: type 8M, 500K or 2000000");
        return std::nullopt;
    }
    return TEstimateRequest{preparedName_, Choices(), facts_};
}

std::string TfrmOption::OutputOptionsText() const {
    return BuildTaskOptions(Choices(), facts_).Output;
}

std::string TfrmOption::InputOptionsText() const {
    return BuildTaskOptions(Choices(), facts_).Input;
}

TOutputOptions TfrmOption::BuildOutputOptions() const {
    TOutputOptions options;
    options.Options = OutputOptionsText();
    return options;
}

TInputOptions TfrmOption::BuildInputOptions() const {
    TInputOptions options;
    if (decoder_) options.FileName = decoder_->FileName();
    options.Options = InputOptionsText();
    return options;
}

bool TfrmOption::PlayAtClipSpeed() const { return chkPlayAtClipSpeed->isChecked(); }

bool TfrmOption::OptimizeOutput() const { return chkOptimize->isChecked(); }
