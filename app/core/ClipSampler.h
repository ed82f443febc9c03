#pragma once
// Estimates of the GIF a clip's piece makes at some settings, without converting all of it: a
// few short samples spread evenly over the piece are converted at those settings into a frame
// sink that only counts bytes, and their bytes are scaled up by their share of the piece.
//
// Every sample starts with a whole frame where the GIF of the piece would store only what
// changed, so only the first sample's first frame (the GIF's own) is counted as it is; the
// others' first frames are left out and their time is made up by the scaling. A piece too short
// to sample is converted whole, and its estimate is its size.
//
// The first estimate decodes the samples once, at the settings chosen (the largest any estimate
// asks for), into files in memory; every estimate then converts those, which spares decoding
// the clip from a key frame before every sample again. A sample that the decoder reaches sooner
// by going on from the end of the sample before it than from the key frame before it (as the
// clip's index lists them) is decoded in the same pass, another output of the same task.
// Samples too large to keep in memory are read from the clip each time.
//
// The samples run in the calling thread (an unthreaded run of an encoder of its own); a cancel
// check, asked at every frame, ends an estimate under way.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/core/ConversionChoices.h"
#include "app/core/SizeSearch.h"
#include "app/core/TaskOptions.h"
#include "platform/MemoryFile.h"

class TFFEncoder;
class TFrameOutputAdapter;

class TClipSampler {
public:
    // The samples take about this share of the piece, at least kLeastSample seconds (or the
    // whole piece) and at most kMostSample, in pieces of at least kLeastLength seconds.
    static constexpr double kShare = 0.15;
    static constexpr double kLeastSample = 2.0;
    static constexpr double kMostSample = 8.0;
    static constexpr double kLeastLength = 0.6;
    // A piece whose samples would take this share of it or more is converted whole.
    static constexpr double kWholeShare = 0.6;
    static constexpr const char* kCancelledMessage = "The estimate was cancelled";
    // The decoded samples take at most this many bytes, and at most a quarter of the memory
    // the process can have.
    static constexpr int64_t kMostCacheBytes = int64_t{512} << 20;

    // The clip, the choices that give its piece (Start, End) and its facts. The media
    // libraries must be loaded and the frame output formats registered.
    TClipSampler(std::string fileName, const TConversionChoices& choices, const TClipFacts& facts);

    // The GIF of the piece at `rung`; nothing when no sample could be converted (Error() says
    // why) or the estimate was cancelled.
    std::optional<TSizeEstimate> Estimate(const TFitSettings& rung);
    // Asked at every frame of a sample (on the calling thread of Estimate): true ends the
    // estimate, failing with kCancelledMessage.
    void SetCancelCheck(std::function<bool()> check) { cancelCheck_ = std::move(check); }
    const std::string& Error() const { return error_; }

    // Microseconds of the piece; 0 when the clip's length is not known (it is converted whole).
    int64_t PieceLength() const { return length_; }
    // The samples, as starts and lengths in microseconds from the clip's beginning (one sample
    // without a length: the whole piece).
    struct TSample {
        int64_t Start = 0;
        int64_t Length = 0;  // 0: to the piece's end
    };
    const std::vector<TSample>& Samples() const { return samples_; }
    // Whether the samples are kept decoded in memory (known after the first estimate).
    bool SamplesCached() const { return !cache_.empty(); }

private:
    // What one sample gave.
    struct TSampleBytes {
        int64_t Bytes = 0;
        int64_t FirstFrameBytes = 0;
        // The time its frames show for, and its first frame's; 0 without timing.
        int64_t Hundredths = 0;
        int64_t FirstFrameHundredths = 0;
    };

    void PlaceSamples();
    int64_t KeyFrameNear(int64_t offset, int64_t from, int64_t to) const;
    bool ContinuesCheaper(size_t i) const;
    bool Cancelled() const;
    // Cancelled, with Error() saying so.
    bool CancelledNow();
    // A task for each sample; false with Error() set when one cannot be added.
    bool AddSamples(TFFEncoder& encoder, TFrameOutputAdapter& adapter,
                    const TConversionChoices& atRung);
    bool AddCachedSamples(TFFEncoder& encoder, TFrameOutputAdapter& adapter,
                          const TConversionChoices& atRung);
    // The choices that convert sample `index` from the clip.
    TConversionChoices SampleChoices(const TConversionChoices& atRung, size_t index) const;
    // Decodes the samples into cache_ when they fit the memory; leaves it empty otherwise.
    void FillCache();
    bool CacheFits(const TFitSettings& top) const;
    std::optional<TSizeEstimate> Combined(const std::vector<std::optional<TSampleBytes>>& results,
                                          double frameRate);

    std::string fileName_;
    TConversionChoices choices_;
    TClipFacts facts_;
    int64_t start_ = 0;
    int64_t length_ = 0;
    std::vector<TSample> samples_;
    std::function<bool()> cancelCheck_;
    // The decoded samples, one file each, and what they are as clips.
    bool cacheTried_ = false;
    std::vector<TMemoryFile> cache_;
    TClipFacts cacheFacts_;
    std::string error_;
};
