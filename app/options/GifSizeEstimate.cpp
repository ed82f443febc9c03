#include "app/options/GifSizeEstimate.h"

#include <QLabel>

const QString TGifSizeEstimate::kEstimating = QStringLiteral("estimating\u2026");

TGifSizeEstimate::TGifSizeEstimate(QLabel& label, TRequest request)
    : label_(label), request_(std::move(request)) {
    pause_.setSingleShot(true);
    pause_.setInterval(kPauseMs);
    QObject::connect(&pause_, &QTimer::timeout, &pause_, [this] { Begin(); });
}

void TGifSizeEstimate::Restart() {
    run_.RequestCancel();
    label_.setText(kEstimating);
    pause_.start();
}

void TGifSizeEstimate::Stop() {
    pause_.stop();
    run_.Cancel();
}

void TGifSizeEstimate::Begin() {
    QString why;
    std::optional<TEstimateRequest> request = request_(why);
    if (!request) {
        run_.Cancel();
        label_.setText(why);
        return;
    }
    run_.Start(
        [request = std::move(*request), quiet = quietThreads_](const std::atomic<bool>& cancelled) {
            const TQuietThreads::TScope quietScope(quiet);
            return ChooseFit(request.FileName, request.Choices, request.Facts,
                             [&cancelled] { return cancelled.load(); });
        },
        [this](const TFitChoice& choice) { Show(choice); });
}

void TGifSizeEstimate::Show(const TFitChoice& choice) {
    if (choice.Made)
        label_.setText(QString::fromStdString(choice.EstimateLine()));
    else
        label_.setText(QStringLiteral("No estimate: ") + QString::fromStdString(choice.Error));
}
