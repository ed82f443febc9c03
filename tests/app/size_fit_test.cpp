// Fitting a GIF to a size limit, the parts that need no clip: sizes as typed and read, the
// ladder of settings, the search over it against clips of known sizes, and what is said when
// nothing fits.
#include <gtest/gtest.h>

#include <cmath>

#include "app/core/ByteSize.h"
#include "app/core/ClipSampler.h"
#include "app/core/FitLadder.h"
#include "app/core/FitTexts.h"
#include "app/core/SizeSearch.h"

namespace {

constexpr int64_t kMB = 1024 * 1024;

TEST(ByteSize, ReadsBytesAndSizesInUnitsOf1024) {
    EXPECT_EQ(ParseByteSize("8M"), 8 * kMB);
    EXPECT_EQ(ParseByteSize("8 MB"), 8 * kMB);
    EXPECT_EQ(ParseByteSize("500k"), 500 * 1024);
    EXPECT_EQ(ParseByteSize("1.5M"), 3 * kMB / 2);
    EXPECT_EQ(ParseByteSize("1048576"), kMB);
    EXPECT_EQ(ParseByteSize(" 700KB "), 700 * 1024);
    for (const char* refused :
         {"0", "-1", "12Q", "", "M", "1e5", "0.0001K", "8MM", "1..5M", "99999999999M"})
        EXPECT_FALSE(ParseByteSize(refused)) << refused;
}

TEST(ByteSize, TypedSizesReadBackAsTheSameBytes) {
    EXPECT_EQ(TypedSizeText(8 * kMB), "8M");
    EXPECT_EQ(TypedSizeText(500 * 1024), "500K");
    EXPECT_EQ(TypedSizeText(2000000), "2000000");
    for (const int64_t bytes : {int64_t{1}, 3 * kMB / 2, 2000000 * kMB, kMB + 1})
        EXPECT_EQ(ParseByteSize(TypedSizeText(bytes)), bytes) << bytes;
}

TEST(ByteSize, RoundsSizesForReading) {
    EXPECT_EQ(RoundedSizeText(8 * kMB), "8 MB");
    EXPECT_EQ(RoundedSizeText(4 * kMB + kMB / 5), "4.2 MB");
    EXPECT_EQ(RoundedSizeText(25 * kMB + 1), "25 MB");
    EXPECT_EQ(RoundedSizeText(730 * 1024), "730 KB");
    EXPECT_EQ(RoundedSizeText(kMB - 1), "1 MB");
    EXPECT_EQ(RoundedSizeText(512), "512 bytes");
}

TClipFacts Clip(int width, int height, double rate) {
    TClipFacts facts;
    facts.HasVideo = true;
    facts.Width = width;
    facts.Height = height;
    facts.FrameRate = rate;
    facts.Duration = 20'000'000;
    return facts;
}

TEST(FitLadder, LowersQualityThenRateThenSizeToTheirFloors) {
    TConversionChoices choices;
    const std::vector<TFitSettings> ladder = FitLadder(choices, Clip(640, 360, 30));
    ASSERT_GT(ladder.size(), 20u);
    EXPECT_TRUE(ladder.front().AsChosen);
    EXPECT_EQ(ladder.front().Quality, kDefaultQuality);
    EXPECT_DOUBLE_EQ(ladder.front().FrameRate, 30);
    EXPECT_EQ(ladder.front().Size.Width, 640);
    const TFitSettings& last = ladder.back();
    EXPECT_EQ(last.Quality, kFitQualityFloor);
    EXPECT_DOUBLE_EQ(last.FrameRate, kFitRateFloor);
    EXPECT_EQ(last.Size.Width, kFitWidthFloor);
    EXPECT_EQ(last.Size.Height, 68);  // 16:9 kept
    for (size_t i = 1; i < ladder.size(); ++i) {
        const TFitSettings& above = ladder[i - 1];
        const TFitSettings& rung = ladder[i];
        EXPECT_FALSE(rung.AsChosen);
        // One knob at a time, each down, in order: no knob goes down before the one before
        // it is at its floor.
        const bool quality = rung.Quality < above.Quality;
        const bool rate = rung.FrameRate < above.FrameRate;
        const bool width = rung.Size.Width < above.Size.Width;
        EXPECT_EQ(quality + rate + width, 1) << i;
        if (rate) {
            EXPECT_EQ(rung.Quality, kFitQualityFloor);
            // Every frame of the GIF lasts whole hundredths.
            const double hundredths = 100 / rung.FrameRate;
            EXPECT_NEAR(hundredths, std::round(hundredths), 1e-9);
        }
        if (width) {
            EXPECT_DOUBLE_EQ(rung.FrameRate, kFitRateFloor);
        }
        EXPECT_GE(rung.FrameRate, kFitRateFloor);
        EXPECT_GE(rung.Size.Width, kFitWidthFloor);
    }
}

TEST(FitLadder, StartsFromTheUsersChoicesAndSkipsKnobsAlreadyLow) {
    TConversionChoices choices;
    choices.Quality = 70;
    choices.FrameRate = 8;
    choices.AspectWidth = 100;
    const std::vector<TFitSettings> ladder = FitLadder(choices, Clip(640, 480, 25));
    ASSERT_EQ(ladder.size(), 1u);
    EXPECT_EQ(ladder[0].Size.Width, 100);
    EXPECT_EQ(ladder[0].Size.Height, 75);

    // The octree colours have no quality to lower; a chosen size is the largest.
    choices = TConversionChoices();
    choices.Colors = TFrameColors::Octree;
    choices.Size = {320, 240};
    const std::vector<TFitSettings> octree = FitLadder(choices, Clip(640, 480, 25));
    EXPECT_EQ(octree[1].Quality, octree[0].Quality);
    EXPECT_DOUBLE_EQ(octree[1].FrameRate, 20);
    EXPECT_EQ(octree.back().Size.Width, kFitWidthFloor);
    EXPECT_EQ(octree.back().Size.Height, 90);

    // The choices at a rung: the top one leaves them as they are.
    const TConversionChoices top = ChoicesAt(choices, octree.front());
    EXPECT_EQ(top.Size.Width, 320);
    EXPECT_DOUBLE_EQ(top.FrameRate, 0);
    const TConversionChoices lower = ChoicesAt(choices, octree.back());
    EXPECT_EQ(lower.Size.Width, kFitWidthFloor);
    EXPECT_DOUBLE_EQ(lower.FrameRate, kFitRateFloor);
}

// A clip whose GIF at each rung has a known size: `scale` times what the search's own model
// expects, with the quality and the size mattering as much as `qualityWeight` and
// `sizeWeight` say, and what the samples see off by `sampleError`.
struct TKnownClip {
    std::vector<TFitSettings> ladder;
    double topBytes;
    double qualityWeight = 1;
    double sizeWeight = 1;
    double sampleError = 1;
    int estimates = 0;

    double Bytes(const TFitSettings& rung) const {
        const TFitSettings& top = ladder.front();
        return topBytes * std::exp(-0.02 * qualityWeight * (top.Quality - rung.Quality)) *
               std::pow(rung.FrameRate / top.FrameRate, 0.8) *
               std::pow(static_cast<double>(rung.Size.Width) / top.Size.Width, 1.7 * sizeWeight);
    }
    TRungEstimator Estimator() {
        return [this](const TFitSettings& rung) -> std::optional<TSizeEstimate> {
            ++estimates;
            const double bytes = Bytes(rung) * sampleError;
            return TSizeEstimate{std::llround(bytes), std::llround(bytes / 50)};
        };
    }
};

TEST(SizeSearch, ChoosesTheRungClosestBelowTheLimitWithFewEstimates) {
    TConversionChoices choices;
    const std::vector<TFitSettings> ladder = FitLadder(choices, Clip(640, 480, 25));
    const int64_t limit = 8 * kMB;
    for (double qualityWeight : {0.3, 1.0, 2.5})
        for (double sizeWeight : {0.7, 1.0, 1.3})
            for (double top : {9.0, 14.0, 40.0, 150.0}) {
                TKnownClip clip{ladder, top * kMB, qualityWeight, sizeWeight};
                TSizeSearch search(ladder, limit);
                ASSERT_TRUE(search.Choose(clip.Estimator()));
                const std::string what = std::to_string(qualityWeight) + " " +
                                         std::to_string(sizeWeight) + " " + std::to_string(top);
                EXPECT_LE(clip.estimates, TSizeSearch::kMostEstimates) << what;
                if (clip.Bytes(ladder.back()) > limit) {
                    EXPECT_EQ(search.Rung(), -1) << what;
                    continue;
                }
                ASSERT_GT(search.Rung(), 0) << what;
                const double bytes = clip.Bytes(ladder[search.Rung()]);
                EXPECT_LE(bytes, limit) << what;
                // Close below the limit, or the rung above it is over the aim.
                const double above = clip.Bytes(ladder[search.Rung() - 1]);
                EXPECT_TRUE(bytes >= 0.8 * limit || above > TSizeSearch::kAim * limit) << what;
                EXPECT_NEAR(search.Estimate().Bytes, bytes, bytes * 0.15) << what;
            }
}

TEST(SizeSearch, KeepsTheChoicesWhenTheyFitAndSaysWhenNothingDoes) {
    TConversionChoices choices;
    const std::vector<TFitSettings> ladder = FitLadder(choices, Clip(640, 480, 25));
    TKnownClip small{ladder, 7.5 * kMB};
    TSizeSearch fits(ladder, 8 * kMB);
    ASSERT_TRUE(fits.Choose(small.Estimator()));
    EXPECT_EQ(fits.Rung(), 0);
    EXPECT_EQ(small.estimates, 2);  // the floors, then the choices

    TKnownClip huge{ladder, 2000.0 * kMB};
    TSizeSearch none(ladder, kMB);
    ASSERT_TRUE(none.Choose(huge.Estimator()));
    EXPECT_EQ(none.Rung(), -1);
    EXPECT_NEAR(none.Estimate().Bytes, huge.Bytes(ladder.back()), huge.Bytes(ladder.back()) * 0.01);
    EXPECT_EQ(huge.estimates, 1);  // the floors only

    // An estimate that cannot be made ends the search.
    TSizeSearch failing(ladder, kMB);
    EXPECT_FALSE(failing.Choose([](const TFitSettings&) { return std::nullopt; }));
}

TEST(SizeSearch, StepsDownByWhatAConversionShowedUntilNothingIsLeft) {
    TConversionChoices choices;
    const std::vector<TFitSettings> ladder = FitLadder(choices, Clip(640, 480, 25));
    // The samples see a fifth less than the whole clip makes.
    TKnownClip clip{ladder, 30.0 * kMB, 1, 1, 0.8};
    const int64_t limit = 8 * kMB;
    TSizeSearch search(ladder, limit);
    ASSERT_TRUE(search.Choose(clip.Estimator()));
    const int first = search.Rung();
    ASSERT_GT(first, 0);
    EXPECT_GT(clip.Bytes(ladder[first]), limit);
    ASSERT_TRUE(search.StepDown(std::llround(clip.Bytes(ladder[first]))));
    EXPECT_GT(search.Rung(), first);
    EXPECT_LE(clip.Bytes(ladder[search.Rung()]), limit);

    // Over at the lowest rung: nothing is left.
    while (search.Rung() >= 0 && search.Rung() < static_cast<int>(ladder.size()) - 1)
        search.StepDown(100 * kMB);
    ASSERT_EQ(search.Rung(), static_cast<int>(ladder.size()) - 1);
    EXPECT_FALSE(search.StepDown(100 * kMB));
    EXPECT_EQ(search.Rung(), -1);
}

// Samples spread over the piece, each starting at a key frame of its part where there is one
// (no frames decoded before it), else in the part's middle.
TEST(ClipSampler, SpreadsSamplesOverThePieceStartingAtKeyFrames) {
    TClipFacts facts;
    facts.HasVideo = true;
    facts.Width = 640;
    facts.Height = 480;
    facts.FrameRate = 25;
    facts.Duration = 22'000'000;
    // none in the second part, two in the third (the nearer one to its middle counts), one
    // too late in the fourth for a whole sample, one before the piece
    facts.KeyFrames = {0, 1'000'000, 11'000'000, 12'100'000, 17'950'000, 21'900'000};
    TConversionChoices choices;
    choices.Start = 2'000'000;
    const TClipSampler sampler("clip.mp4", choices, facts);
    EXPECT_EQ(sampler.PieceLength(), 20'000'000);
    const std::vector<TClipSampler::TSample>& samples = sampler.Samples();
    ASSERT_EQ(samples.size(), 5u);  // 15% of 20 s in pieces of 0.6 s at least
    const int64_t each = samples[0].Length;
    EXPECT_EQ(each, 600'000);
    std::vector<int64_t> starts;
    for (const TClipSampler::TSample& sample : samples) {
        EXPECT_EQ(sample.Length, each);
        starts.push_back(sample.Start);
    }
    EXPECT_EQ(starts,
              std::vector<int64_t>({2'000'000, 7'700'000, 12'100'000, 15'700'000, 19'700'000}));

    TConversionChoices shortCut;
    shortCut.End = 3'000'000;
    const TClipSampler whole("clip.mp4", shortCut, facts);
    ASSERT_EQ(whole.Samples().size(), 1u);  // too short to sample: converted whole
    EXPECT_EQ(whole.Samples()[0].Length, 0);
}

TEST(FitTexts, SayWhatWasChosenAndWhatWouldFit) {
    TFitSettings rung;
    rung.Quality = 70;
    rung.FrameRate = 15;
    rung.Size = {400, 225};
    EXPECT_EQ(FittedText(8 * kMB, rung, TFrameColors::Fitted),
              "fitted to 8 MB: 400x225, 15 fps, quality 70");
    rung.FrameRate = 100.0 / 6;
    EXPECT_EQ(FitSettingsText(rung, TFrameColors::Octree), "400x225, 16.7 fps");
    EXPECT_EQ(EstimateText(4 * kMB + kMB / 5), "about 4.2 MB");

    // 40 s make 6.5 MB at the floors, 0.1 MB of it the first frame: 1 MB holds about 5.7 s.
    TFitSettings lowest;
    lowest.Quality = kFitQualityFloor;
    lowest.FrameRate = 10;
    lowest.Size = {160, 90};
    const TSizeEstimate estimate{65 * kMB / 10, kMB / 10};
    EXPECT_EQ(CannotFitText(40'000'000, kMB, estimate, lowest),
              "ClipGIF cannot fit 40 s into 1 MB; about 5.7 s at 160x90 would fit");
    EXPECT_EQ(CannotFitText(40'000'000, 50 * 1024, estimate, lowest),
              "ClipGIF cannot fit 40 s into 50 KB; not even one frame at 160x90 would fit");
}

}  // namespace
