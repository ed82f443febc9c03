#include "app/core/FitChoice.h"

#include <exception>

#include "app/core/ClipSampler.h"
#include "app/core/FitLadder.h"
#include "app/core/FitTexts.h"

namespace {

// Fills the choice from the sampler: the search over the ladder with a limit, one estimate of
// the top rung without.
void Sample(TFitChoice& choice, TClipSampler& sampler, const std::vector<TFitSettings>& ladder) {
    const auto estimate = [&sampler](const TFitSettings& rung) { return sampler.Estimate(rung); };
    if (choice.Choices.SizeLimit > 0) {
        choice.Search.emplace(ladder, choice.Choices.SizeLimit);
        choice.Made = choice.Search->Choose(estimate);
        return;
    }
    const std::optional<TSizeEstimate> made = estimate(choice.AsChosen);
    choice.Made = made.has_value();
    if (made) choice.Estimate = *made;
}

}  // namespace

const TFitSettings& TFitChoice::Chosen() const {
    return Search && Search->Rung() >= 0 ? Search->Ladder()[Search->Rung()] : AsChosen;
}

std::string TFitChoice::FittedLine() const {
    return FittedText(Choices.SizeLimit, Chosen(), Choices.Colors);
}

std::string TFitChoice::NothingFitsLine() const {
    if (!Search) return {};
    return CannotFitText(PieceLength, Choices.SizeLimit, Search->Estimate(),
                         Search->Ladder().back());
}

std::string TFitChoice::EstimateLine() const {
    if (!Fits()) return NothingFitsLine();
    const std::string estimate = EstimateText(ChosenEstimate().Bytes);
    if (!Search || Chosen().AsChosen) return estimate;
    return estimate + ", " + FittedLine();
}

TFitChoice ChooseFit(const std::string& fileName, const TConversionChoices& choices,
                     const TClipFacts& facts, std::function<bool()> cancelled) {
    TFitChoice choice;
    choice.Choices = choices;
    try {
        const std::vector<TFitSettings> ladder = FitLadder(choices, facts);
        choice.AsChosen = ladder.front();
        TClipSampler sampler(fileName, choices, facts);
        sampler.SetCancelCheck(cancelled);
        choice.PieceLength = sampler.PieceLength();
        Sample(choice, sampler, ladder);
        choice.Cancelled = cancelled && cancelled();
        if (!choice.Made) choice.Error = sampler.Error();
    } catch (const std::exception& error) {
        choice.Made = false;
        choice.Error = error.what();
    }
    if (choice.Cancelled) choice.Made = false;
    return choice;
}
