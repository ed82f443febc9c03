// The samples of a clip whose key frames lie far apart are decoded in one pass, each going on
// from the one before: the estimates are those that decoding each sample from the key frame
// before it gives, to the byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/core/ClipSampler.h"
#include "app/core/FitLadder.h"
#include "app/core/TaskOptions.h"
#include "engine/decoder/FFDecode.h"
#include "engine/output/FrameOutputFormats.h"
#include "tests/common/TestSupport.h"
#include "tests/engine/media_test_support.h"

TEST(ClipSamplerPasses, OnePassGivesTheEstimatesOfASeekToEachSample) {
    mediatest::LoadMediaLibraries();
    RegisterFrameOutputFormats();
    testsupport::TempDir dir;
    // A key frame at the start only: every sample but the first would be decoded from there.
    const std::string clip = testsupport::MakeMedia(
        "-f lavfi -i testsrc2=size=160x120:rate=25 -t 12 -c:v libx264 -g 1000 -pix_fmt yuv420p",
        dir.File("clip.mp4"));
    TFFDecoder decoder;
    TClipFacts facts;
    std::string error;
    ASSERT_TRUE(ReadClipFacts(decoder, clip, facts, error)) << error;
    ASSERT_EQ(facts.KeyFrames.size(), 1u);
    // Without an index the cost of a seek is not known: each sample is decoded on its own.
    TClipFacts unindexed = facts;
    unindexed.KeyFrames.clear();

    const TConversionChoices choices;
    TClipSampler onePass(clip, choices, facts);
    TClipSampler seeking(clip, choices, unindexed);
    ASSERT_EQ(onePass.Samples().size(), 3u);
    ASSERT_EQ(seeking.Samples().size(), onePass.Samples().size());
    // The largest settings (those the samples are kept at), the smallest, and between.
    const std::vector<TFitSettings> ladder = FitLadder(choices, facts);
    for (const TFitSettings& rung : {ladder.front(), ladder[ladder.size() / 2], ladder.back()}) {
        SCOPED_TRACE(rung.Size.Width);
        const std::optional<TSizeEstimate> a = onePass.Estimate(rung);
        const std::optional<TSizeEstimate> b = seeking.Estimate(rung);
        ASSERT_TRUE(a && b) << onePass.Error() << seeking.Error();
        EXPECT_TRUE(onePass.SamplesCached());
        EXPECT_EQ(a->Bytes, b->Bytes);
        EXPECT_EQ(a->FirstFrameBytes, b->FirstFrameBytes);
    }
}
