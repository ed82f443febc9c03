// The conversion's fitting to a size limit: the settings chosen from samples of the clip on a
// thread of their own while the window goes on, the file converted at them, and again a step
// down when its GIF still outgrows the limit.
#include <QFileInfo>

#include "app/core/ByteSize.h"
#include "app/core/FailureText.h"
#include "app/core/FitTexts.h"
#include "app/core/ProjectedBytes.h"
#include "app/main/ConversionControl.h"
#include "app/main/Globals.h"
#include "app/widgets/Dialogs.h"

namespace {

QString TextOf(const std::string& text) { return QString::fromUtf8(text.c_str()); }

QString FileNameOf(const std::string& path) { return QFileInfo(TextOf(path)).fileName(); }

}  // namespace

// Pause waits for the conversion itself: the samples cannot be paused.
void TConversionControl::ChooseSettings() {
    const std::string file = conversion_->Files[fileIndex_];
    const TConversionChoices choices = conversion_->Choices;
    const TClipFacts facts = facts_;
    TQuietThreads* const quiet = quietThreads_;
    owner_.ShowRunPhase(TRunPhase::Choosing);
    owner_.ShowProgress(-1, QString());
    owner_.ShowStatus(QStringLiteral("Choosing the settings that fit %1\u2026")
                          .arg(TextOf(RoundedSizeText(choices.SizeLimit))));
    choosing_.Start(
        [file, choices, facts, quiet](const std::atomic<bool>& cancelled) {
            const TQuietThreads::TScope quietScope(quiet);
            return ChooseFit(file, choices, facts, [&cancelled] { return cancelled.load(); });
        },
        [this](const TFitChoice& choice) { SettingsChosen(choice); });
}

// The file's task is added again at the settings chosen; a file that cannot be sampled, or that
// nothing fits, ends without a GIF.
void TConversionControl::SettingsChosen(const TFitChoice& choice) {
    fit_ = choice;
    if (!choice.Made) {
        ++tasksEnded_;
        Dialogs().ShowMessage(&window_, QMessageBox::Warning, ApplicationTitle(),
                              TextOf(ConversionFailureText(InputFileName(), choice.Error)));
        return RunNextOrEnd();
    }
    if (!choice.Fits()) {
        TellNothingFits();
        return RunNextOrEnd();
    }
    owner_.LogMessage(QStringLiteral("***Converting ") + FileNameOf(InputFileName()) +
                      QStringLiteral(" at ") +
                      TextOf(FitSettingsText(choice.Chosen(), choice.Choices.Colors)) +
                      QStringLiteral(", ") + TextOf(EstimateText(choice.ChosenEstimate().Bytes)));
    if (!AddTask(choice.ChosenChoices())) {
        ++tasksEnded_;
        return RunNextOrEnd();
    }
    owner_.ShowRunPhase(TRunPhase::Resumed);
    ConvertFile();
}

bool TConversionControl::ConvertSmaller() {
    outgrewLimit_ = false;
    const int64_t limit = conversion_->Choices.SizeLimit;
    const TFitSettings outgrown = fit_->Chosen();
    fit_->Search->StepDown(ProjectedGifBytes(sink_, fit_->PieceLength, outgrown.FrameRate, limit));
    if (fit_->Search->Rung() < 0) {
        TellNothingFits();
        return false;
    }
    const TFrameColors colors = conversion_->Choices.Colors;
    owner_.LogMessage(QStringLiteral("***The GIF grew past %1 at %2: converting again at %3")
                          .arg(TextOf(RoundedSizeText(limit)))
                          .arg(TextOf(FitSettingsText(outgrown, colors)))
                          .arg(TextOf(FitSettingsText(fit_->Chosen(), colors))));
    if (!AddTask(fit_->ChosenChoices())) {
        ++tasksEnded_;
        return false;
    }
    ConvertFile();
    return true;
}

// The file ends without a GIF; the warning says how much of it would fit.
void TConversionControl::TellNothingFits() {
    ++tasksEnded_;
    const QString text = TextOf(fit_->NothingFitsLine());
    owner_.LogMessage(QStringLiteral("***") + text);
    owner_.ShowStatus(text);
    Dialogs().ShowMessage(&window_, QMessageBox::Warning, ApplicationTitle(), text);
}

bool TConversionControl::CancelChoosing() {
    if (!choosing_.Running()) return false;
    choosing_.Cancel();
    owner_.ShowStatus(QStringLiteral("Stopped before the conversion of %1 began.")
                          .arg(FileNameOf(InputFileName())));
    EndRuns();
    return true;
}
