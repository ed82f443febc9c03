#pragma once
// What samples of a clip say about its GIF before it is converted (ClipSampler.h): with a size
// limit, the settings that fit it (SizeSearch.h); without one, the estimate of the GIF as
// chosen. The desktop program runs it off the GUI thread, for the options dialog's estimate
// and before a conversion with a limit; it runs wholly in the calling thread, whose cancel
// check ends it early.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "app/core/ConversionChoices.h"
#include "app/core/SizeSearch.h"
#include "app/core/TaskOptions.h"

struct TFitChoice {
    // The choices it was made for; their SizeLimit is the limit (0: none).
    TConversionChoices Choices;
    // An estimate was made; otherwise Error says why, or the check cancelled it.
    bool Made = false;
    bool Cancelled = false;
    std::string Error;
    // Microseconds of the piece; 0 unknown.
    int64_t PieceLength = 0;
    // With a limit: the search, at the rung chosen (-1 when nothing fits).
    std::optional<TSizeSearch> Search;
    // Without a limit: the settings as chosen, and the GIF's estimate at them.
    TFitSettings AsChosen;
    TSizeEstimate Estimate;

    // An estimate was made and something fits (always, without a limit).
    bool Fits() const { return Made && (!Search || Search->Rung() >= 0); }
    // The settings to convert at (the ones as chosen without a limit); only when Fits().
    const TFitSettings& Chosen() const;
    // The estimate of the GIF at Chosen(), or at the lowest rung when nothing fits.
    TSizeEstimate ChosenEstimate() const { return Search ? Search->Estimate() : Estimate; }
    // The choices a conversion at Chosen() takes.
    TConversionChoices ChosenChoices() const { return ChoicesAt(Choices, Chosen()); }

    // "fitted to 8 MB: 400x225, 15 fps, quality 70"; only when Fits().
    std::string FittedLine() const;
    // What fits when nothing does ("ClipGIF cannot fit 40 s into 1 MB; ...").
    std::string NothingFitsLine() const;
    // The estimate as the options dialog shows it: "about 4.2 MB", and where the limit binds
    // "about 7.6 MB, fitted to 8 MB: 400x225, 15 fps, quality 70"; NothingFitsLine() when
    // nothing fits.
    std::string EstimateLine() const;
};

// Estimates `fileName`'s GIF with `choices` (and chooses the settings that fit their limit).
// `cancelled` is asked at every frame of the samples. Failures are kept in Error, never raised.
TFitChoice ChooseFit(const std::string& fileName, const TConversionChoices& choices,
                     const TClipFacts& facts, std::function<bool()> cancelled);
