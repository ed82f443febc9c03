#include "app/core/SizeSearch.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

// How the bytes of a GIF follow its settings, as measured on clips of many kinds: each quality
// point less takes about 2 % off (from less than 1 % on grainy clips to 5 % on smooth ones),
// the bytes follow the rate to the power 0.8 (fewer frames each change more) and the width to
// the power 1.7 (the area, a little less for the detail scaling removes).
constexpr double kQualitySlope = 0.02;
constexpr double kRateExponent = 0.8;
constexpr double kWidthExponent = 1.7;
// How far the estimates may bend the model's slope.
constexpr double kLeastSlope = 0.25;
constexpr double kMostSlope = 4;

}  // namespace

TSizeSearch::TSizeSearch(std::vector<TFitSettings> ladder, int64_t limit)
    : ladder_(std::move(ladder)), limit_(limit) {}

double TSizeSearch::Model(int rung) const {
    const TFitSettings& top = ladder_.front();
    const TFitSettings& at = ladder_[rung];
    double model = -kQualitySlope * (top.Quality - at.Quality);
    if (top.FrameRate > 0 && at.FrameRate > 0)
        model += kRateExponent * std::log(at.FrameRate / top.FrameRate);
    if (top.Size.Width > 0 && at.Size.Width > 0)
        model += kWidthExponent * std::log(static_cast<double>(at.Size.Width) / top.Size.Width);
    return model;
}

double TSizeSearch::Predicted(int rung) const {
    const auto found = measured_.find(rung);
    if (found != measured_.end()) return found->second;
    const auto after = measured_.upper_bound(rung);
    if (after == measured_.begin()) {
        // Above the first estimate: the model's slope as the first two estimates bend it.
        double slope = 1;
        const auto below = std::next(after);
        if (below != measured_.end()) {
            const double span = Model(below->first) - Model(after->first);
            if (std::fabs(span) > 1e-12)
                slope = std::clamp((below->second - after->second) / span, kLeastSlope, kMostSlope);
        }
        return after->second + slope * (Model(rung) - Model(after->first));
    }
    const auto before = std::prev(after);
    if (after != measured_.end()) {
        // Between two estimates: along the model, bent to meet both.
        const double span = Model(after->first) - Model(before->first);
        if (std::fabs(span) < 1e-12) return before->second;
        const double share = (Model(rung) - Model(before->first)) / span;
        return before->second + share * (after->second - before->second);
    }
    // Below the lowest estimate: the model's slope as the last two estimates bend it.
    double slope = 1;
    if (before != measured_.begin()) {
        const auto above = std::prev(before);
        const double span = Model(before->first) - Model(above->first);
        if (std::fabs(span) > 1e-12)
            slope = std::clamp((before->second - above->second) / span, kLeastSlope, kMostSlope);
    }
    return before->second + slope * (Model(rung) - Model(before->first));
}

double TSizeSearch::Aim(int rung) const {
    return static_cast<double>(limit_) * (rung == 0 ? kAimAsChosen : kAim);
}

bool TSizeSearch::Fits(int rung) const { return std::exp(measured_.at(rung)) <= Aim(rung); }

int TSizeSearch::FirstPredictedToFit(int after, int before) const {
    for (int rung = after + 1; rung < before; ++rung)
        if (std::exp(Predicted(rung)) <= Aim(rung)) return rung;
    return -1;
}

bool TSizeSearch::Measure(int rung, const TRungEstimator& estimate) {
    const std::optional<TSizeEstimate> result = estimate(ladder_[rung]);
    if (!result) return false;
    estimates_[rung] = *result;
    measured_[rung] = std::log(std::max<double>(static_cast<double>(result->Bytes), 1));
    return true;
}

// The floors are estimated first: the cheapest estimate, and it says whether anything fits.
// From there the estimates close in on the limit from both sides, each where the model, bent
// by the estimates so far, puts it.
bool TSizeSearch::Choose(const TRungEstimator& estimate) {
    measured_.clear();
    estimates_.clear();
    rung_ = -1;
    const int last = static_cast<int>(ladder_.size()) - 1;
    if (!Measure(last, estimate)) return false;
    if (estimates_[last].Bytes > limit_) return true;
    for (;;) {
        // The lowest rung estimated over the aim, and the first below it estimated within.
        int over = -1;
        for (const auto& [rung, bytes] : measured_)
            if (!Fits(rung)) over = rung;
        int under = -1;
        for (const auto& [rung, bytes] : measured_)
            if (rung > over && Fits(rung)) {
                under = rung;
                break;
            }
        if (under == 0 ||
            (under > 0 && (under == over + 1 || estimates_[under].Bytes >=
                                                    kCloseEnough * static_cast<double>(limit_)))) {
            rung_ = under;
            return true;
        }
        int next = FirstPredictedToFit(over, under >= 0 ? under : last + 1);
        // None predicted to fit: the model is off here, and the rung just above the one
        // estimated to fit is worth an estimate.
        if (next < 0) next = under < 0 ? last : under > over + 1 ? under - 1 : under;
        if (measured_.count(next)) {
            // The lowest rung, estimated over the aim: it is tried when it is within the limit.
            rung_ = estimates_[next].Bytes <= limit_ ? next : -1;
            return true;
        }
        if (Estimates() >= kMostEstimates) {
            // The last estimate spent: the rung predicted to fit, else the one estimated to.
            rung_ = std::exp(Predicted(next)) <= Aim(next) || under < 0 ? next : under;
            return true;
        }
        if (!Measure(next, estimate)) return false;
    }
}

TSizeEstimate TSizeSearch::Estimate() const {
    const int rung = rung_ >= 0 ? rung_ : static_cast<int>(ladder_.size()) - 1;
    TSizeEstimate result;
    result.Bytes = std::llround(std::exp(Predicted(rung)));
    if (!estimates_.empty()) {
        // The first frame as at the nearest estimate, scaled by the model.
        auto nearest = estimates_.lower_bound(rung);
        if (nearest == estimates_.end()) nearest = std::prev(nearest);
        result.FirstFrameBytes = std::llround(static_cast<double>(nearest->second.FirstFrameBytes) *
                                              std::exp(Model(rung) - Model(nearest->first)));
    }
    return result;
}

bool TSizeSearch::StepDown(int64_t projectedBytes) {
    const int from = rung_;
    const int last = static_cast<int>(ladder_.size()) - 1;
    if (from < 0 || from >= last) {
        rung_ = -1;
        return false;
    }
    // The conversion shows how far the estimates were off: all of them were, alike.
    const double off =
        std::log(std::max<double>(static_cast<double>(projectedBytes), 1)) - Predicted(from);
    for (auto& [rung, bytes] : measured_) bytes += off;
    measured_[from] = std::log(std::max<double>(static_cast<double>(projectedBytes), 1));
    const int next = FirstPredictedToFit(from, last + 1);
    rung_ = next >= 0 ? next : last;
    return true;
}
