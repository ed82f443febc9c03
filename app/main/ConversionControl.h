#pragma once
// TConversionControl: the main window's conversion. It owns the encoder, the frame output
// adapter and the frame sink; it adds the task of the conversion the options dialog set up and
// runs it with Start, Stop, Pause and Resume, following the run from the encoder's reports.
// The frames go through the sink into the GIF beside the input. It owns the preview window,
// which shows the frames while converting (while "Preview while encoding" is wanted) and, once
// a run is complete, plays the GIF it made until the next run starts or the window closes.
// It reports to the window through TConversionOwner.
#include <QImage>
#include <QString>
#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include "app/core/FrameSink.h"
#include "app/main/RunPhase.h"
#include "engine/encoder/FFEncode.h"
#include "engine/output/FrameOutput.h"

class QWidget;
class TPreviewForm;

// What the conversion asks of the window it works for; called on the GUI thread.
class TConversionOwner {
public:
    // A message of the window in the log (an empty line, the message, an empty line).
    virtual void LogMessage(const QString& message) = 0;
    virtual void ShowRunPhase(TRunPhase phase) = 0;
    virtual void ShowStatus(const QString& text) = 0;
    // Shows what the conversion's threads have handed to the GUI thread so far (log lines,
    // frames), so that what the conversion shows next comes after it.
    virtual void CatchUp() = 0;

protected:
    ~TConversionOwner() = default;
};

// What closing the window during a conversion left: the GIF of the frames converted so far, or
// why there is none.
struct TClosedRun {
    bool WasRunning = false;
    std::string SavedFile;  // empty when no GIF was saved
    int Frames = 0;
    std::string Failure;  // the conversion's error, when it failed on its way to the end
};

// What the user is told of it before the window goes ("Saved the 1503 frames converted so far
// as FILE"); empty when no conversion was under way.
QString ClosedRunMessage(const TClosedRun& closed, const std::string& inputFileName);

// A conversion as the options dialog set it up: the chosen file, the task's option records and
// what the sink makes of the frames.
struct TConversion {
    std::string InputFileName;
    TInputOptions Input;
    TOutputOptions Output;
    bool PlayAtClipSpeed = true;
    bool Optimize = false;
};

class TConversionControl {
public:
    // `window` parents the messages shown, and the preview window keeps clear of its buttons.
    // The sink shows its frames and lines through `sinkWindow`.
    TConversionControl(QWidget& window, TSinkWindow& sinkWindow, TConversionOwner& owner);
    ~TConversionControl();
    TConversionControl(const TConversionControl&) = delete;
    TConversionControl& operator=(const TConversionControl&) = delete;

    TFFEncoder& Encoder() { return encoder_; }
    // The GIF document and its frames, bound to the adapter.
    TFrameSink& FrameSink() { return sink_; }
    TPreviewForm* PreviewWindow() const { return previewForm_.get(); }

    // Another file was chosen: the earlier file's conversion and task go, whatever becomes of
    // this one, so Start never converts a file other than the one shown.
    void Forget();
    // The conversion of the chosen file: its task is added; the log tells how that went.
    void Set(const TConversion& conversion);

    void Start();
    void Stop();
    void Pause();
    void Resume();
    // "Preview while encoding".
    void SetPreviewWanted(bool wanted);
    // The window closes: a conversion under way is stopped (the sink saves the frames so far)
    // and the preview window goes. Returns what became of the conversion.
    TClosedRun Close();
    // The file of the conversion set up last ("" before one is).
    std::string InputFileName() const { return conversion_ ? conversion_->InputFileName : ""; }

    // The sink's frames, as the sink window hands them over.
    void ShowPreviewFrame(const QImage& picture, int frameNumber);
    void RevealPreview();

    // The encoder's events.
    void FFEncoderPreviewBitmap(const TPreviewInfo& APreviewInfo);
    void FFEncoderProgress(PProgressInfo AProgressInfo);
    void FFEncoderTerminate(const TTerminateInfo& ATerminateInfo);

private:
    void ConnectEncoder();
    void AddConversion(const TConversion& conversion);
    void PrepareRun();
    void PrepareSink(const TConversion& conversion);
    void PreparePreview();
    void PlacePreviewWindow();
    void PlayResult();

    QWidget& window_;
    TConversionOwner& owner_;
    TFFEncoder encoder_;
    TFrameOutputAdapter foa_;
    TFrameSink sink_;
    std::unique_ptr<TPreviewForm> previewForm_;
    // The conversion of the file chosen last, once the options dialog set one up.
    std::optional<TConversion> conversion_;
    bool previewWanted_ = true;
    bool previewPlaced_ = false;
    // The run under way: its output has begun (set on the conversion's thread), the tasks that
    // have ended and those of them that completed, and the GIF it saved (empty: none yet).
    std::atomic<bool> outputStarted_{false};
    // From Start to the report of the end of all tasks.
    bool runUnderway_ = false;
    int runTasksEnded_ = 0;
    int runTasksCompleted_ = 0;
    std::string runOutput_;
};
