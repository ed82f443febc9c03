#pragma once
// TfrmOption: the output options dialog ("Output Options"). Shown after a file was loaded, it
// shows the file's information, steps through its video frames, and lets the user pick an output
// frame size and a piece of the clip (Set Start, Set End, Cut Clip).
//
// The dialog is made once and reused: Prepare before each showing keeps the start, end and Cut
// Clip when the same file comes again, and starts afresh for any other file. Times are
// microseconds, as the decoder gives them.
#include <QDialog>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class TBitmap;
class TFFDecoder;
class TFrameImage;
class TTrackBar;

class TfrmOption : public QDialog {
public:
    static constexpr int64_t kUnsetStart = std::numeric_limits<int64_t>::max();
    static constexpr int64_t kUnsetEnd = std::numeric_limits<int64_t>::min();
    // The frame sizes offered, the original size first.
    static const char* const kFrameSizes[29];

    explicit TfrmOption(QWidget* owner);
    ~TfrmOption() override;

    // Takes the decoder's open file: its information, first frame and track-bar range.
    void Prepare(TFFDecoder& decoder);

    // The user's choice, read after OK.
    // A piece is cut: Cut Clip enabled and checked, and the start before the end.
    bool CutActive() const;
    // Where the input is to start: the start time, counted from the first frame when the first
    // frame's time is negative.
    int64_t SeekTime() const;
    // The length of the piece (end - start).
    int64_t CutLength() const { return endTime_ - startTime_; }
    // The chosen size as "320x240"; empty for "Auto - Original".
    std::string FrameSize() const;
    bool HasVideo() const { return firstVideoStream_ >= 0; }

    // The dialog's state.
    int64_t ClipDuration() const { return clipDuration_; }
    int32_t FrameCount() const { return frameCount_; }
    int64_t FirstTime() const { return firstTime_; }
    int64_t CurrentTime() const { return currentTime_; }
    int64_t StartTime() const { return startTime_; }
    int64_t EndTime() const { return endTime_; }
    int LastPosition() const { return lastPosition_; }
    const TBitmap& PreviewBitmap() const { return *previewBitmap_; }

    // Components.
    QGroupBox* grpAVFileInfo;
    QPlainTextEdit* mmoAVFileInfo;
    QGroupBox* grpFrameSize;
    QComboBox* cboFrameSize;
    QGroupBox* grpCutClip;
    TFrameImage* Image;
    TTrackBar* TrackBar;
    QLabel* lblPTS;
    QPushButton* btnStartTime;
    QLineEdit* edtStartTime;
    QPushButton* btnEndTime;
    QLineEdit* edtEndTime;
    QPushButton* btnNextFrame;
    QCheckBox* chkCutClip;
    QPushButton* btnOk;
    QPushButton* btnCancel;

    // Event handlers.
    void FormCreate();
    void FormDestroy();
    void ImageClick();
    void TrackBarChange();
    void btnStartTimeClick();
    void btnEndTimeClick();
    void btnNextFrameClick();

private:
    void CreateComponents();
    void ConnectHandlers();
    void Reset(bool all);
    void UpdateTrackBarRange();
    int32_t CountFrames(int64_t fileDuration, bool durationKnown);
    void ShowCurrentFrame();
    void NextFrame();
    void DrawPreview();
    void StepTrackBar(int position);
    bool SeekNear(int64_t target);
    void ShowFrameFrom(int64_t target);
    void UpdateCutClip();

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
    bool updating_ = false;
    int lastPosition_ = 0;
};
