#pragma once
// Finding the rung of a fit ladder (FitLadder.h) whose GIF comes closest below a size limit,
// with as few estimates as it takes: each estimate converts samples of the clip, so the search
// predicts where the limit falls from a model of how each knob changes the bytes, corrected by
// every estimate made, and estimates only the rungs the prediction points to.
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "app/core/FitLadder.h"

// What samples of the clip say about the GIF of the whole piece at some settings.
struct TSizeEstimate {
    int64_t Bytes = 0;            // the whole GIF
    int64_t FirstFrameBytes = 0;  // of which the header and the first frame
};

// Estimates the GIF at a rung; nothing when no estimate could be made (the reason is the
// estimator's to keep).
using TRungEstimator = std::function<std::optional<TSizeEstimate>(const TFitSettings&)>;

class TSizeSearch {
public:
    // A GIF of the first rung within this share of the limit is tried as chosen; below it, the
    // search aims at kAim of the limit, leaving room for the estimates' error.
    static constexpr double kAimAsChosen = 0.97;
    static constexpr double kAim = 0.95;
    // An estimate this close to the limit ends the search.
    static constexpr double kCloseEnough = 0.88;
    // Estimates the search makes at most, the lowest rung's included.
    static constexpr int kMostEstimates = 5;

    TSizeSearch(std::vector<TFitSettings> ladder, int64_t limit);

    const std::vector<TFitSettings>& Ladder() const { return ladder_; }
    int64_t Limit() const { return limit_; }

    // Chooses the rung to convert at, estimating the lowest rung first. False when an
    // estimate failed. Rung() is -1 afterwards when even the lowest rung is estimated over the
    // limit.
    bool Choose(const TRungEstimator& estimate);
    // The rung chosen; -1 when none fits.
    int Rung() const { return rung_; }
    // The estimate at the rung chosen, or at the lowest rung when none fits.
    TSizeEstimate Estimate() const;
    // Estimates made so far.
    int Estimates() const { return static_cast<int>(measured_.size()); }

    // A conversion at Rung() turned out `projectedBytes` large, over the limit: the estimates
    // are corrected by what it showed, and the next rung down predicted to fit is chosen. False
    // when no rung is left (Rung() is -1 then).
    bool StepDown(int64_t projectedBytes);

private:
    // The model's logarithm of the bytes at a rung relative to the first.
    double Model(int rung) const;
    // The predicted logarithm of the bytes at a rung, from the estimates made and the model.
    double Predicted(int rung) const;
    // The first rung after `after` and before `before` predicted within the aim; -1 for none.
    int FirstPredictedToFit(int after, int before) const;
    bool Measure(int rung, const TRungEstimator& estimate);
    double Aim(int rung) const;
    bool Fits(int rung) const;

    std::vector<TFitSettings> ladder_;
    int64_t limit_;
    int rung_ = -1;
    // The estimates made, by rung: the logarithm of their bytes (corrected by the conversions).
    std::map<int, double> measured_;
    std::map<int, TSizeEstimate> estimates_;
};
