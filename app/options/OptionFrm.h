#pragma once
// TfrmOption: the output options dialog ("Output Options"). Shown after a file was loaded, it
// shows the file's information, steps through its video frames (Previous Frame, Next Frame, the
// track bar), and lets the user mark a piece of the clip (Set Start and Set End, or the times
// typed) and choose what the command line offers too, in its words: the frame size (from the
// list, kept to the picture's aspect ratio or not, or a width with the height following), the
// frame rate, timing and looping, dithering, optimising, a size limit, and where the GIF is
// saved. Under the size limit it shows the estimate of the GIF's size, following the choices
// while the dialog is shown (TGifSizeEstimate); OK is refused while the limit is no size.
//
// The dialog is made once and reused: Prepare before each showing keeps the start, end and Cut
// Clip when the same file comes again, and starts afresh for any other file; the other choices
// stay from file to file, and the main window keeps them in the settings file (SavedChoices).
// Times are microseconds, as the decoder gives them.
#include <QDialog>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/core/OptionStrings.h"
#include "app/core/SavedChoices.h"
#include "app/core/TaskOptions.h"
#include "engine/encoder/EncoderRecords.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class TBitmap;
class TByteSizeEdit;
class TFFDecoder;
class TFrameImage;
class TGifSizeEstimate;
class TQuietThreads;
struct TEstimateRequest;
class TTimeEdit;
class TTrackBar;

class TfrmOption : public QDialog {
public:
    static constexpr int64_t kUnsetStart = TClipCut::kUnsetStart;
    static constexpr int64_t kUnsetEnd = TClipCut::kUnsetEnd;

    explicit TfrmOption(QWidget* owner);
    ~TfrmOption() override;

    // Takes the decoder's open file: its information, first frame and track-bar range.
    void Prepare(TFFDecoder& decoder);

    // The user's choice, read after OK.
    // The piece of the clip: it applies when Cut Clip is enabled and checked and the start lies
    // before the end.
    TClipCut Cut() const;
    // The size of the list's item as "320x240"; empty for "Auto - Original".
    std::string FrameSize() const;
    bool HasVideo() const { return firstVideoStream_ >= 0; }
    // The clip's frame rate (0 when unknown).
    double ClipFrameRate() const { return clipFrameRate_; }
    // The choices apart from the piece of the clip, as the settings file keeps them; setting
    // them sets the components.
    TSavedChoices SavedChoices() const;
    void SetSavedChoices(const TSavedChoices& choices);
    // Everything chosen, the piece of the clip too, as both front ends take it.
    TConversionChoices Choices() const;
    // The option strings of the conversion of the prepared file, from Choices(): the output's
    // (raw BGR24 frames, timing, rate, the piece's length, the scaling) and the input's (the
    // seek to the piece's start).
    std::string OutputOptionsText() const;
    std::string InputOptionsText() const;
    // The option records of the task: the output's with its option string, the input's with
    // the decoder's file name and its option string.
    TOutputOptions BuildOutputOptions() const;
    TInputOptions BuildInputOptions() const;
    // "Play at clip speed and loop" and "Optimise (smaller file)" are checked.
    bool PlayAtClipSpeed() const;
    bool OptimizeOutput() const;
    // The estimate's engine lines are left out of the log that consults `threads`.
    void SetQuietThreads(TQuietThreads* threads);

    // The dialog's state.
    int64_t ClipDuration() const { return clipDuration_; }
    int32_t FrameCount() const { return frameCount_; }
    int64_t FirstTime() const { return firstTime_; }
    int64_t CurrentTime() const { return currentTime_; }
    int64_t StartTime() const { return startTime_; }
    int64_t EndTime() const { return endTime_; }
    int LastPosition() const { return lastPosition_; }
    const TBitmap& PreviewBitmap() const { return *previewBitmap_; }

    // Event handlers.
    void FormCreate();
    void FormDestroy();
    void ImageClick();
    void TrackBarChange();
    void btnStartTimeClick();
    void btnEndTimeClick();
    void btnNextFrameClick();
    void btnPreviousFrameClick();
    void btnBrowseClick();
    void btnOkClick();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // Components, named as the members.
    QGroupBox* grpAVFileInfo;
    QPlainTextEdit* mmoAVFileInfo;
    QGroupBox* grpFrameSize;
    QComboBox* cboFrameSize;
    QGroupBox* grpCutClip;
    TFrameImage* Image;
    TTrackBar* TrackBar;
    QLabel* lblPTS;
    QPushButton* btnStartTime;
    TTimeEdit* edtStartTime;
    QPushButton* btnEndTime;
    TTimeEdit* edtEndTime;
    QPushButton* btnNextFrame;
    QPushButton* btnPreviousFrame;
    QCheckBox* chkCutClip;
    // Frame size: the list above, then these.
    QCheckBox* chkKeepAspect;
    QSpinBox* spnWidth;
    // Timing.
    QGroupBox* grpTiming;
    QDoubleSpinBox* spnFrameRate;
    QCheckBox* chkPlayAtClipSpeed;
    QComboBox* cboLoop;
    QSpinBox* spnRepeats;
    // The GIF itself.
    QGroupBox* grpGif;
    QComboBox* cboColors;
    QSpinBox* spnQuality;
    QComboBox* cboDither;
    QCheckBox* chkOptimize;
    TByteSizeEdit* edtSizeLimit;
    QLabel* lblEstimate;
    // Where it is saved.
    QGroupBox* grpSaveTo;
    QRadioButton* rdoBesideClip;
    QRadioButton* rdoFolder;
    QLineEdit* edtFolder;
    QPushButton* btnBrowse;
    QPushButton* btnOk;
    QPushButton* btnCancel;

    void CreateComponents();
    void CreateCutClip();
    void CreateFrameSize();
    void CreateTiming();
    void CreateGif();
    void CreateSaveTo();
    void ConnectHandlers();
    // Which components can be used, by what the others say.
    void UpdateEnabled();
    // A time typed into Start or End: it marks the piece as Set Start or Set End would.
    bool StartTimeTyped(std::optional<int64_t> time);
    bool EndTimeTyped(std::optional<int64_t> time);
    bool TimeFitsClip(int64_t time) const;
    void Reset(bool all);
    void UpdateTrackBarRange();
    int32_t CountFrames(int64_t fileDuration, bool durationKnown);
    void TakeFrameRate();
    void TakeShownPicture();
    void OfferSizesUpright();
    void ShowCurrentFrame();
    void NextFrame();
    void DrawPreview();
    void StepTrackBar(int position);
    bool SeekNear(int64_t target);
    void ShowFrameFrom(int64_t target);
    void UpdateCutClip();
    // A choice the GIF's size depends on changed: the estimate follows while the dialog shows.
    void ChoicesChanged();
    void ConnectEstimate();
    std::optional<TEstimateRequest> EstimateRequest(QString& why) const;

    TFFDecoder* decoder_ = nullptr;
    // The file of the previous Prepare.
    bool prepared_ = false;
    std::string preparedName_;
    int64_t preparedDuration_ = 0;
    int64_t preparedStart_ = 0;

    std::unique_ptr<TBitmap> previewBitmap_;
    int64_t clipDuration_ = 0;
    int32_t frameCount_ = 0;
    int64_t firstTime_ = kUnsetStart;
    int64_t currentTime_ = 0;
    int64_t startTime_ = kUnsetStart;
    int64_t endTime_ = kUnsetEnd;
    int firstVideoStream_ = -1;
    int firstAudioStream_ = -1;
    // The video stream shown and converted (the one players show) and its picture as shown:
    // upright, square pixels (0 x 0 unknown); the pixels of the frames a conversion gives are
    // square unless stretched.
    int videoStream_ = -1;
    int shownWidth_ = 0;
    int shownHeight_ = 0;
    bool stretched_ = false;
    double clipFrameRate_ = 0;
    TClipFacts facts_;
    bool updating_ = false;
    int lastPosition_ = 0;
    std::unique_ptr<TGifSizeEstimate> estimate_;
};
