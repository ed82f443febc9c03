#pragma once
// TGifSizeEstimate: the options dialog's estimate of the GIF's size, in a label that follows
// the choices. Each change sets it to "estimating…" at once and starts a new estimate after
// a short pause (the typing may go on); the estimate samples the clip on a thread of its own
// (FitChoice.h), and a change meanwhile cancels it, so the label only ever shows the estimate
// of the choices as they are.
#include <QString>
#include <QTimer>
#include <functional>
#include <optional>
#include <string>

#include "app/core/ConversionChoices.h"
#include "app/core/FitChoice.h"
#include "app/core/QuietThreads.h"
#include "app/core/TaskOptions.h"
#include "app/widgets/BackgroundRun.h"

class QLabel;

// What an estimate is of.
struct TEstimateRequest {
    std::string FileName;
    TConversionChoices Choices;
    TClipFacts Facts;
};

class TGifSizeEstimate {
public:
    // The pause after a change before the estimate starts.
    static constexpr int kPauseMs = 300;
    static const QString kEstimating;

    // `request` is asked for the choices when the pause is over; when it gives none, the label
    // shows what it put in `why` instead.
    using TRequest = std::function<std::optional<TEstimateRequest>(QString& why)>;
    TGifSizeEstimate(QLabel& label, TRequest request);

    // The choices changed: "estimating…", and a new estimate after the pause.
    void Restart();
    // No estimate is wanted any more (the dialog closes): the one under way is cancelled.
    void Stop();
    // The samples' engine lines are left out of the log that consults `threads` (null: none).
    void SetQuietThreads(TQuietThreads* threads) { quietThreads_ = threads; }

private:
    void Begin();
    void Show(const TFitChoice& choice);

    QLabel& label_;
    TRequest request_;
    TQuietThreads* quietThreads_ = nullptr;
    QTimer pause_;
    TBackgroundRun<TFitChoice> run_;
};
