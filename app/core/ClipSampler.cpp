#include "app/core/ClipSampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/core/FitLadder.h"
#include "app/core/FrameSink.h"
#include "app/core/OptionStrings.h"
#include "engine/encoder/FFEncode.h"
#include "engine/output/FrameOutput.h"
#include "platform/Exception.h"
#include "platform/SystemMemory.h"

namespace {

constexpr double kMicroseconds = 1e6;
constexpr double kMicrosecondsPerHundredth = 1e4;

// Bytes a decoded pixel takes at most in the formats clips come in (8-bit 4:4:4, or 10-bit
// 4:2:0 in 16-bit words).
constexpr double kPixelBytes = 3;

// The options that write the samples' frames, as the conversion would get them, into a file:
// the conversion's output options with the container changed, nothing but the video, and the
// decoder's pixel format kept, so that the estimates turn it into RGB as the conversion does
// (turning it into RGB at the top rung's size and scaling that down smears the colours
// differently: grainy clips came out up to 15% larger).
std::string CacheOutputOptions(const std::string& output) {
    const std::string frames = " -f rawrgb -c:v rawvideo";
    std::string rest = output.rfind(frames, 0) == 0 ? output.substr(frames.size()) : output;
    for (const char* format : {" -pix_fmt rgb24", " -pix_fmt bgr24"}) {
        const size_t found = rest.find(format);
        if (found != std::string::npos) rest.erase(found, std::strlen(format));
    }
    return " -f nut -c:v rawvideo -an -sn -dn" + rest;
}

// The samples' sink shows nothing.
class TQuietWindow : public TSinkWindow {
public:
    void LogLine(std::string_view) override {}
};

}  // namespace

TClipSampler::TClipSampler(std::string fileName, const TConversionChoices& choices,
                           const TClipFacts& facts)
    : fileName_(std::move(fileName)), choices_(choices), facts_(facts) {
    const bool hasStart = choices.Start != TConversionChoices::kUnsetTime && choices.Start > 0;
    start_ = hasStart ? choices.Start : 0;
    if (choices.End != TConversionChoices::kUnsetTime)
        length_ = std::max<int64_t>(choices.End - start_, 0);
    else if (facts.Duration > 0)
        length_ = std::max<int64_t>(facts.Duration - start_, 0);
    PlaceSamples();
}

// The first sample starts where the piece does; each other one in the middle of an equal
// part of it, or where a key frame in that part lets it start without decoding the frames
// before it (the key frame nearest the middle).
void TClipSampler::PlaceSamples() {
    const double piece = static_cast<double>(length_) / kMicroseconds;
    const double total = std::clamp(piece * kShare, std::min(piece, kLeastSample), kMostSample);
    if (length_ <= 0 || total >= piece * kWholeShare) {
        samples_ = {{start_, 0}};
        return;
    }
    const int count = std::max(1, static_cast<int>(total / kLeastLength));
    const int64_t each = std::llround(total / count * kMicroseconds);
    const double part = static_cast<double>(length_) / count;
    for (int i = 0; i < count; ++i) {
        const int64_t from = std::llround(i * part);
        const int64_t middle = std::llround((i + 0.5) * part);
        int64_t offset = i == 0 ? 0 : std::clamp<int64_t>(middle - each / 2, 0, length_ - each);
        if (i > 0) offset = KeyFrameNear(offset, from, std::llround((i + 1) * part) - each);
        samples_.push_back({start_ + offset, each});
    }
}

// The key frame between `from` and `to` (offsets into the piece) nearest `offset`, as an
// offset; `offset` itself when there is none.
int64_t TClipSampler::KeyFrameNear(int64_t offset, int64_t from, int64_t to) const {
    int64_t best = offset;
    int64_t bestDistance = INT64_MAX;
    for (const int64_t time : facts_.KeyFrames) {
        const int64_t at = time - start_;
        if (at < from || at > to) continue;
        const int64_t distance = std::llabs(at - offset);
        if (distance < bestDistance) {
            best = at;
            bestDistance = distance;
        }
    }
    return best;
}

// Whether sample i is decoded at less cost by going on from the end of the sample before it
// than from the key frame before its start; never when the clip's index lists no key frames
// (the cost of a seek is then not known).
bool TClipSampler::ContinuesCheaper(size_t i) const {
    const TSample& before = samples_[i - 1];
    const TSample& sample = samples_[i];
    if (facts_.KeyFrames.empty() || before.Length <= 0 || sample.Length <= 0) return false;
    int64_t keyFrame = 0;
    for (const int64_t time : facts_.KeyFrames)
        if (time <= sample.Start) keyFrame = time;
    return sample.Start - (before.Start + before.Length) < sample.Start - keyFrame;
}

bool TClipSampler::Cancelled() const { return cancelCheck_ && cancelCheck_(); }

bool TClipSampler::CancelledNow() {
    if (!Cancelled()) return false;
    error_ = kCancelledMessage;
    return true;
}

std::optional<TSizeEstimate> TClipSampler::Estimate(const TFitSettings& rung) {
    error_.clear();
    if (CancelledNow()) return std::nullopt;
    if (!cacheTried_) {
        cacheTried_ = true;
        FillCache();
    }
    if (CancelledNow()) return std::nullopt;
    const TConversionChoices atRung = ChoicesAt(choices_, rung);
    TFFEncoder encoder;
    encoder.SetTriggerEventInMainThread(false);
    TFrameOutputAdapter adapter;
    TQuietWindow window;
    TFrameSink sink(window);
    PrepareSink(sink, atRung, fileName_);
    sink.SetMeasureOnly(true);
    sink.Attach(adapter);

    // The samples' results by task; a sample that failed has none.
    std::vector<std::optional<TSampleBytes>> results(samples_.size());
    std::optional<TSampleBytes> closed;
    adapter.OnWriteFrame = [&](TFrameOutputAdapter* sender, POutputFrameInfo info) {
        if (Cancelled()) throw Exception(kCancelledMessage);
        sink.FOAWriteFrame(sender, info);
    };
    adapter.OnWriteClose = [&](TFrameOutputAdapter* sender) {
        sink.FOAWriteClose(sender);
        closed = TSampleBytes{sink.BytesWritten(), sink.FirstFrameBytes(), sink.WrittenHundredths(),
                              sink.FirstFrameHundredths()};
    };
    // An unthreaded run reports each task's end as it ends, before the next one starts.
    encoder.OnTerminate = [&](TCustomEncoder*, const TTerminateInfo& info) {
        if (info.TaskIndex < 0) return;
        if (info.Failed && error_.empty()) error_ = info.ErrorMessage;
        if (!info.Failed && closed && info.TaskIndex < static_cast<int>(results.size()))
            results[info.TaskIndex] = closed;
        closed.reset();
    };
    const bool added = cache_.empty() ? AddSamples(encoder, adapter, atRung)
                                      : AddCachedSamples(encoder, adapter, atRung);
    if (added) encoder.StartTask(0);
    encoder.ClearTasks();
    sink.Detach(adapter);
    if (CancelledNow()) return std::nullopt;
    if (!added) return std::nullopt;
    return Combined(results, rung.FrameRate);
}

TConversionChoices TClipSampler::SampleChoices(const TConversionChoices& atRung,
                                               size_t index) const {
    const TSample& sample = samples_[index];
    TConversionChoices piece = atRung;
    piece.Start = sample.Start;
    piece.End = sample.Length > 0 ? sample.Start + sample.Length : choices_.End;
    return piece;
}

namespace {

// Another output of `task` into `outputName`; false with the encoder's message when it cannot
// be set.
bool AddOutput(TFFEncoder& encoder, int task, const std::string& outputName,
               const std::string& outputOptions, std::string& error) {
    TOutputOptions output;
    output.Options = outputOptions;
    if (task < 0 || encoder.SetOutput(task, outputName, output) < 0) {
        error = encoder.LastErrorMessage();
        return false;
    }
    return true;
}

// A task from `fileName` into `outputName`; false with the encoder's message when it cannot
// be added.
bool AddTask(TFFEncoder& encoder, const std::string& fileName, const TTaskOptionTexts& texts,
             const std::string& outputName, const std::string& outputOptions, std::string& error) {
    TInputOptions input;
    input.Options = texts.Input;
    return AddOutput(encoder, encoder.AddTask(fileName, input), outputName, outputOptions, error);
}

}  // namespace

bool TClipSampler::AddSamples(TFFEncoder& encoder, TFrameOutputAdapter& adapter,
                              const TConversionChoices& atRung) {
    for (size_t i = 0; i < samples_.size(); ++i) {
        const TTaskOptionTexts texts = BuildTaskOptions(SampleChoices(atRung, i), facts_);
        if (!AddTask(encoder, fileName_, texts, adapter.OutputName(), texts.Output, error_))
            return false;
    }
    return true;
}

// Each cached sample is a clip of its own, converted whole.
bool TClipSampler::AddCachedSamples(TFFEncoder& encoder, TFrameOutputAdapter& adapter,
                                    const TConversionChoices& atRung) {
    TConversionChoices whole = atRung;
    whole.Start = TConversionChoices::kUnsetTime;
    whole.End = TConversionChoices::kUnsetTime;
    const TTaskOptionTexts texts = BuildTaskOptions(whole, cacheFacts_);
    for (const TMemoryFile& file : cache_)
        if (!AddTask(encoder, file.Path(), texts, adapter.OutputName(), texts.Output, error_))
            return false;
    return true;
}

bool TClipSampler::CacheFits(const TFitSettings& top) const {
    double seconds = 0;
    for (const TSample& sample : samples_)
        seconds += static_cast<double>(sample.Length > 0 ? sample.Length : length_) / kMicroseconds;
    const double frames = seconds * top.FrameRate + static_cast<double>(samples_.size());
    const double bytes = kPixelBytes * top.Size.Width * top.Size.Height * frames;
    const double usable = static_cast<double>(UsableMemoryBytes());
    const double budget = usable > 0 ? std::min<double>(kMostCacheBytes, usable / 4)
                                     : static_cast<double>(kMostCacheBytes);
    return bytes <= budget;
}

// The samples as the top rung converts them, before their colours are reduced. A failure
// (or a cancel) leaves the cache empty: the estimates then read the clip.
void TClipSampler::FillCache() {
    const TFitSettings top = FitLadder(choices_, facts_).front();
    if (length_ <= 0 || top.FrameRate <= 0 || top.Size.Width <= 0 || top.Size.Height <= 0 ||
        !CacheFits(top))
        return;
    TFFEncoder encoder;
    encoder.SetTriggerEventInMainThread(false);
    bool complete = true;
    encoder.OnProgress = [&](TCustomEncoder*, PProgressInfo) {
        if (Cancelled()) encoder.Stop(false);
    };
    encoder.OnTerminate = [&](TCustomEncoder*, const TTerminateInfo& info) {
        if (info.TaskIndex >= 0 && (info.Failed || !info.Completed)) complete = false;
    };
    std::vector<TMemoryFile> files;
    std::string error;
    try {
        // A sample that goes on decoding from the one before is another output of its task,
        // starting that much later than the task's first.
        int task = -1;
        int64_t taskStart = 0;
        for (size_t i = 0; i < samples_.size(); ++i) {
            files.emplace_back("clipgif-sample");
            const TTaskOptionTexts texts = BuildTaskOptions(SampleChoices(choices_, i), facts_);
            std::string output = CacheOutputOptions(texts.Output);
            if (i > 0 && ContinuesCheaper(i)) {
                output += " -ss " + SecondsText(samples_[i].Start - taskStart);
            } else {
                TInputOptions input;
                input.Options = texts.Input;
                task = encoder.AddTask(fileName_, input);
                taskStart = samples_[i].Start;
            }
            if (!AddOutput(encoder, task, files.back().Path(), output, error)) return;
        }
    } catch (const Exception&) {
        return;  // no memory files here: the clip is read each time
    }
    encoder.StartTask(0);
    encoder.ClearTasks();
    if (!complete || Cancelled()) return;
    cache_ = std::move(files);
    cacheFacts_.HasVideo = true;
    cacheFacts_.Width = top.Size.Width;
    cacheFacts_.Height = top.Size.Height;
    cacheFacts_.AspectRatio = facts_.AspectRatio;
    cacheFacts_.FrameRate = top.FrameRate;
}

// The first frame as the first sample that gave one has it, and the rest scaled from the time
// the samples cover after their first frames to the piece's after its first. The time a sample
// covers is its frames' delays where there are delays (its frames need not fill its length to
// the hundredth), else its length.
std::optional<TSizeEstimate> TClipSampler::Combined(
    const std::vector<std::optional<TSampleBytes>>& results, double frameRate) {
    const double frame = frameRate > 0 ? kMicroseconds / frameRate : 0;
    TSizeEstimate estimate;
    double rest = 0;
    double covered = 0;
    bool first = true;
    for (size_t i = 0; i < results.size(); ++i) {
        if (!results[i]) continue;
        const TSampleBytes& bytes = *results[i];
        if (first) estimate.FirstFrameBytes = bytes.FirstFrameBytes;
        first = false;
        if (samples_[i].Length == 0) {  // the whole piece
            estimate.Bytes = bytes.Bytes;
            return estimate;
        }
        rest += static_cast<double>(bytes.Bytes - bytes.FirstFrameBytes);
        // a first frame the frames after it repeated shows for longer, its own time is a frame
        const double firstFrame =
            frame > 0 ? frame
                      : static_cast<double>(bytes.FirstFrameHundredths) * kMicrosecondsPerHundredth;
        const double shown = bytes.Hundredths > 0
                                 ? static_cast<double>(bytes.Hundredths) * kMicrosecondsPerHundredth
                                 : static_cast<double>(samples_[i].Length);
        covered += std::max(shown - firstFrame, 0.0);
    }
    if (first || covered <= 0) {
        if (error_.empty()) error_ = "No sample of the clip could be converted";
        return std::nullopt;
    }
    const double remaining = std::max(static_cast<double>(length_) - frame, 0.0);
    estimate.Bytes = estimate.FirstFrameBytes + std::llround(rest * remaining / covered);
    return estimate;
}
