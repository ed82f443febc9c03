#include "app/core/FrameSink.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>

#include "app/core/OutputName.h"
#include "app/core/PendingFile.h"
#include "gif/model/GIFDefaults.h"
#include "gif/model/GIFExtensions.h"
#include "gif/model/GIFStreamWriter.h"
#include "gif/optimise/FittedFrameSteps.h"
#include "gif/optimise/OctreeFrameSteps.h"
#include "platform/Exception.h"
#include "platform/PixelOrder.h"
#include "platform/Stream.h"

extern "C" {
#include <libavformat/avformat.h>
}

// Everything that belongs to one output, from its header to the header of the next.
struct TSinkOutput {
    TFrameTimingOptions Timing;
    std::unique_ptr<TFrameSteps> Steps;
    TFrameDelays Delays;
    int64_t FrameLength = 0;   // ticks of one frame by the stream's frame rate, 0 unknown
    bool TimedFrames = false;  // a frame has been delivered with timing
    // The delays of the frames in the pipeline, oldest first, while timing is on.
    std::deque<int> PipelineDelays;
    // The delay owed to the document's newest frame: it grows while frames that add nothing
    // to it follow, and is settled when a later frame joins the document or the output ends.
    int OwedDelay = 0;
    int AppendedFrames = 0;  // frames of this output that reached the document
    bool Written = false;    // written as it goes
    int64_t SizeLimit = 0;   // 0: none
    bool MeasureOnly = false;
    // Where the written road writes: File's stream, or Counter when the output is only measured.
    std::unique_ptr<TPendingFile> File;
    std::unique_ptr<TCountingStream> Counter;
    TStream* Stream = nullptr;
    std::unique_ptr<TGIFStreamWriter> Writer;  // after File and Counter: it goes first
    int64_t FirstFrameBytes = 0;
    int64_t FirstFrameHundredths = 0;
    int WrittenFrames = 0;
    int64_t WrittenHundredths = 0;
    bool LimitExceeded = false;
    std::exception_ptr Failure;  // what failed the written output
    std::string SavedFileName;
    int SavedFrames = 0;
    int SkippedFrames = 0;
};

namespace {

constexpr const char* kOutputExtension = ".gif";
// Names tried beside the input when the chosen one is taken while the document is written.
constexpr int kNameAttempts = 100;

// The busy cursor for as long as it lives.
class TBusyCursor {
public:
    explicit TBusyCursor(TSinkWindow& window) : window_(window) { window_.SetBusyCursor(true); }
    ~TBusyCursor() { window_.SetBusyCursor(false); }
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;

private:
    TSinkWindow& window_;
};

const AVStream* FirstStream(const TOutputFrameInfo& info) {
    const AVFormatContext* context = info.FormatContext;
    return context && context->nb_streams > 0 ? context->streams[0] : nullptr;
}

// One frame by the stream's frame rate, in ticks of its time base (0 when either is unknown or
// a frame is shorter than a tick).
int64_t FrameLengthOf(const AVStream* stream) {
    if (!stream) return 0;
    const AVRational rate = stream->avg_frame_rate;
    const AVRational base = stream->time_base;
    if (rate.num <= 0 || rate.den <= 0 || base.num <= 0 || base.den <= 0) return 0;
    return static_cast<int64_t>(static_cast<__int128>(rate.den) * base.den /
                                (static_cast<__int128>(rate.num) * base.num));
}

int64_t TimestampOf(const AVPacket* packet) {
    if (packet->pts != AV_NOPTS_VALUE) return packet->pts;
    if (packet->dts != AV_NOPTS_VALUE) return packet->dts;
    return TFrameDelays::kNoTime;
}

}  // namespace

TSinkFrame ReadSinkFrame(const TOutputFrameInfo& info) {
    TSinkFrame frame;
    const AVPacket* packet = info.Packet;
    const AVStream* stream = FirstStream(info);
    frame.Width = info.Width;
    frame.Height = info.Height;
    frame.RedFirst = info.PixelFormat == AV_PIX_FMT_RGB24;
    frame.Number = info.FrameNumber;
    if (packet) {
        frame.Pixels = packet->data;
        frame.Size = packet->size;
        frame.KeyFrame = packet->flags & AV_PKT_FLAG_KEY;
        frame.Time = TimestampOf(packet);
        frame.Duration = packet->duration;
    }
    if (stream) frame.Tick = {stream->time_base.num, stream->time_base.den};
    frame.FrameLength = FrameLengthOf(stream);
    return frame;
}

TFrameSink::TFrameSink(TSinkWindow& window)
    : window_(window),
      pipeline_(std::make_unique<TFramePipeline>(workers_)),
      output_(std::make_unique<TSinkOutput>()) {
    document_.SetReductionMode(prOctreePlusSystem);
}

TFrameSink::~TFrameSink() {
    // The frames in flight belong to the output's steps: they go first.
    pipeline_.reset();
    output_.reset();
    if (TFrameOutputAdapter* adapter = TFrameOutputAdapter::Find(attachedAdapter_))
        Detach(*adapter);
}

void TFrameSink::Attach(TFrameOutputAdapter& adapter) {
    attachedAdapter_ = adapter.Identity();
    adapter.OnWriteHeader = [this](TFrameOutputAdapter* sender) { FOAWriteHeader(sender); };
    adapter.OnWriteFrame = [this](TFrameOutputAdapter* sender, POutputFrameInfo info) {
        FOAWriteFrame(sender, info);
    };
    adapter.OnWriteClose = [this](TFrameOutputAdapter* sender) { FOAWriteClose(sender); };
}

void TFrameSink::Detach(TFrameOutputAdapter& adapter) {
    if (adapter.Identity() == attachedAdapter_) attachedAdapter_ = 0;
    adapter.OnWriteHeader = nullptr;
    adapter.OnWriteFrame = nullptr;
    adapter.OnWriteClose = nullptr;
}

const std::string& TFrameSink::SavedFileName() const { return output_->SavedFileName; }
int TFrameSink::SavedFrames() const { return output_->SavedFrames; }
int TFrameSink::SkippedFrames() const { return output_->SkippedFrames; }
bool TFrameSink::LimitExceeded() const { return output_->LimitExceeded; }
int64_t TFrameSink::FirstFrameBytes() const { return output_->FirstFrameBytes; }
int64_t TFrameSink::FirstFrameHundredths() const { return output_->FirstFrameHundredths; }
int TFrameSink::WrittenFrames() const { return output_->WrittenFrames; }
int64_t TFrameSink::WrittenHundredths() const { return output_->WrittenHundredths; }

// Formats into a buffer on the stack: a frame's log lines take no memory from the heap.
void TFrameSink::Log(const char* format, ...) {
    char line[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    window_.LogLine(line);
}

std::unique_ptr<TFrameSteps> TFrameSink::NewSteps() const {
    if (colors_ == TFrameColors::Fitted) {
        TColorQuality quality = ColorQualityFor(quality_);
        if (!patternDither_) quality.DitherMinGap = 0;
        return std::make_unique<TFittedFrameSteps>(quality, document_.Encoding(),
                                                   document_.DiffusionMode());
    }
    return std::make_unique<TOctreeFrameSteps>(document_.Encoding(), optimizeFrames_);
}

void TFrameSink::FOAWriteHeader(TFrameOutputAdapter*) {
    Log("Frame output write header");
    // What an output that failed left in the pipeline goes, before the steps it belongs to.
    if (pipeline_->Workers() == workers_)
        pipeline_->Discard();
    else
        pipeline_ = std::make_unique<TFramePipeline>(workers_);
    auto output = std::make_unique<TSinkOutput>();
    output->Timing = timing_;
    output->SizeLimit = sizeLimit_;
    output->MeasureOnly = measureOnly_;
    output->Steps = NewSteps();
    // Saving the whole document optimises it first when the defaults ask for that.
    output->Written = !keepFrames_ && !GIFDefaults().OptimizeBeforeStreaming;
    output_ = std::move(output);
    pipeline_->SetSteps(output_->Steps.get());
    document_.Clear();
    bytesWritten_.store(0, std::memory_order_relaxed);
}

void TFrameSink::FOAWriteFrame(TFrameOutputAdapter*, POutputFrameInfo AFrameInfo) {
    const TSinkFrame frame = ReadSinkFrame(*AFrameInfo);
    Log("FrameOutput write frame #%d, size=%d, key-frame=%d", frame.Number, frame.Size,
        frame.KeyFrame ? 1 : 0);
    if (output_->Failure) std::rethrow_exception(output_->Failure);
    try {
        TakeFrame(frame);
    } catch (...) {
        Fail();
        throw;
    }
}

void TFrameSink::TakeFrame(const TSinkFrame& frame) {
    TSinkOutput& output = *output_;
    if (Skip(frame)) {
        ++output.SkippedFrames;
        if (output.TimedFrames) AdvanceClock(frame);
        return;
    }
    if (output.Timing.Enabled) {
        AdvanceClock(frame);
        if (MergeIntoFrameBefore(frame)) return;
    }
    while (pipeline_->OldestMade()) AppendOldestFrame();
    // A full pipeline is the only wait for the workers.
    while (pipeline_->Full()) AppendOldestFrame();
    const bool preview = window_.PreviewWanted();
    TStepFrame& next = pipeline_->NextFrame();
    CopyPixels(frame, next.Picture);
    // The document's settings as they are when the frame comes make it.
    next.Import = {document_.ReductionMode(), document_.DiffusionMode(), document_.QuantizeBits()};
    if (preview) window_.PreviewFrame(next.Picture, frame.Number);
    if (output.Timing.Enabled) {
        output.PipelineDelays.push_back(0);
        output.TimedFrames = true;
    }
    pipeline_->Submit();
    WriteSettledFrames(false);
    if (preview) window_.ShowPreview();
}

// A frame is taken only when its packet holds all of its rows.
bool TFrameSink::Skip(const TSinkFrame& frame) {
    const int64_t needed =
        static_cast<int64_t>(std::max(frame.Width, 0)) * std::max(frame.Height, 0) * 3;
    const bool complete = frame.Width >= 0 && frame.Height >= 0 && frame.Size >= needed &&
                          (needed == 0 || frame.Pixels);
    if (complete) return false;
    Log("FrameOutput skipped frame #%d: size=%d, a %dx%d frame needs %lld", frame.Number,
        frame.Size, frame.Width, frame.Height, static_cast<long long>(needed));
    return true;
}

// The packet's rows are width x 3 bytes each, top row first, without padding; the picture's
// rows are blue, green, red.
void TFrameSink::CopyPixels(const TSinkFrame& frame, TBitmap& picture) {
    picture.SetSize(frame.Width, frame.Height);
    const size_t rowBytes = static_cast<size_t>(frame.Width) * 3;
    for (int row = 0; row < frame.Height && rowBytes > 0; ++row) {
        const uint8_t* in = frame.Pixels + row * rowBytes;
        uint8_t* out = picture.ScanLine(row);
        if (!frame.RedFirst) {
            std::memcpy(out, in, rowBytes);
            continue;
        }
        CopySwappingRedAndBlue(in, out, static_cast<size_t>(frame.Width));
    }
}

void TFrameSink::AdvanceClock(const TSinkFrame& frame) {
    TSinkOutput& output = *output_;
    if (!output.TimedFrames) output.FrameLength = frame.FrameLength;
    const int delay = output.Delays.NextFrame(frame.Time, frame.Duration, frame.Tick);
    if (delay > 0) AddDelay(delay);
}

void TFrameSink::AddDelay(int delay) {
    int& owed = NewestDelay();
    owed = std::min(owed + delay, TFrameDelays::kMaxDelay);
}

int& TFrameSink::NewestDelay() {
    TSinkOutput& output = *output_;
    return output.PipelineDelays.empty() ? output.OwedDelay : output.PipelineDelays.back();
}

// A frame starting less than the shortest delay after the frame delivered before it (its
// clock already moved on) is left out: that frame shows for its time too.
bool TFrameSink::MergeIntoFrameBefore(const TSinkFrame& frame) {
    if (!output_->TimedFrames || NewestDelay() >= TFrameDelays::kMinDelay) return false;
    Log("FrameOutput merged frame #%d into the frame before: shown for less than %d hundredths",
        frame.Number, TFrameDelays::kMinDelay);
    return true;
}

// A last frame too short to show gives its time to the frame before, which the written road
// still holds; alone, it gets the shortest delay.
void TFrameSink::MergeShortLastFrame() {
    TSinkOutput& output = *output_;
    TGIFImageList& frames = document_.Images();
    if (!output.Timing.Enabled || frames.Count() == 0 ||
        output.OwedDelay >= TFrameDelays::kMinDelay)
        return;
    TGIFGraphicControlExtension* before =
        frames.Count() > 1 ? frames[frames.Count() - 2].GraphicControlExtension() : nullptr;
    if (!before) {
        output.OwedDelay = TFrameDelays::kMinDelay;
        return;
    }
    Log("FrameOutput merged the last frame into the frame before: shown for less than %d "
        "hundredths",
        TFrameDelays::kMinDelay);
    output.OwedDelay = std::min(before->Delay() + output.OwedDelay, TFrameDelays::kMaxDelay);
    frames.Delete(frames.Count() - 1);
    --output.AppendedFrames;
}

void TFrameSink::AppendOldestFrame() {
    TSinkOutput& output = *output_;
    int delay = 0;
    if (output.Timing.Enabled && !output.PipelineDelays.empty()) {
        delay = output.PipelineDelays.front();
        output.PipelineDelays.pop_front();
    }
    TPipelineResult result = pipeline_->TakeOldest();
    if (!result.Taken) return;
    if (result.BeginsGlobalTable)
        document_.Header().ColorMap().Replace(output.Steps->GlobalTable(), false);
    if (!result.Frame) {
        // The frame adds nothing to the picture before it, which shows for its time too.
        output.OwedDelay = std::min(output.OwedDelay + delay, TFrameDelays::kMaxDelay);
        return;
    }
    Append(std::move(result.Frame), delay);
    WriteSettledFrames(false);
}

// The looping extension in front of the first frame, then every frame's graphic control
// extension (the frame's own, when it has one for its transparency), whose delay is settled
// once a later frame joins the document or the output ends.
void TFrameSink::Append(std::unique_ptr<TGIFSubImage> frame, int delay) {
    TSinkOutput& output = *output_;
    SettleNewestDelay();
    const int index = document_.AddImported(std::move(frame));
    TGIFSubImage& added = document_.Images()[index];
    if (output.Timing.Enabled) {
        TGIFExtensionList& extensions = added.Extensions();
        std::unique_ptr<TGIFItem> control;
        if (added.GraphicControlExtension())
            control = extensions.Remove(added.GraphicControlExtension());
        if (output.AppendedFrames == 0 && output.Timing.Looping) {
            auto loop = std::make_unique<TGIFAppExtNSLoop>(&added);
            loop->SetLoops(output.Timing.LoopCount);
            extensions.Add(std::move(loop));
        }
        if (control)
            extensions.Add(
                std::unique_ptr<TGIFExtension>(static_cast<TGIFExtension*>(control.release())));
        else
            extensions.Add(std::make_unique<TGIFGraphicControlExtension>(&added));
    }
    ++output.AppendedFrames;
    output.OwedDelay = delay;
}

void TFrameSink::SettleNewestDelay() {
    const TSinkOutput& output = *output_;
    TGIFImageList& frames = document_.Images();
    if (!output.Timing.Enabled || frames.Count() == 0) return;
    if (TGIFGraphicControlExtension* control = frames[frames.Count() - 1].GraphicControlExtension())
        control->SetDelay(output.OwedDelay);
}

void TFrameSink::FOAWriteClose(TFrameOutputAdapter*) {
    Log("Frame output write close");
    TBusyCursor busy(window_);
    TSinkOutput& output = *output_;
    if (output.Failure) std::rethrow_exception(output.Failure);
    try {
        if (output.TimedFrames) AddDelay(output.Delays.LastFrame(output.FrameLength));
        while (pipeline_->InFlight() > 0) AppendOldestFrame();
        MergeShortLastFrame();
        SettleNewestDelay();
        if (output.Written) {
            FinishWriting();
            return;
        }
        if (document_.Images().Count() == 0) throw Exception(kNoFramesMessage);
        Save();
    } catch (...) {
        Fail();
        throw;
    }
}

// The document goes to a temporary file beside the target first; only the complete file gets
// the target's name.
void TFrameSink::Save() {
    TSinkOutput& output = *output_;
    if (output.MeasureOnly) {
        TCountingStream counter;
        document_.SaveToStream(counter);
        bytesWritten_.store(counter.Size(), std::memory_order_relaxed);
        CheckSizeLimit(counter.Size());
    } else {
        TPendingFile file(TargetName());
        document_.SaveToStream(file.Stream());
        bytesWritten_.store(file.Stream().Size(), std::memory_order_relaxed);
        CheckSizeLimit(file.Stream().Size());
        Place(file);
    }
    output.SavedFrames = document_.Images().Count();
}

std::string TFrameSink::TargetName() const {
    return outputFileName_.empty() ? GetUniqueOutputName(inputFileName_, kOutputExtension)
                                   : outputFileName_;
}

// The name is given only when no file has it by then. Beside the input, a name taken
// meanwhile makes way for the next free one; a name the front end chose fails instead.
void TFrameSink::Place(TPendingFile& file) {
    const bool chosenName = !outputFileName_.empty();
    std::string target = TargetName();
    file.Finish();
    for (int attempt = 1; !file.MoveTo(target); ++attempt) {
        if (chosenName || attempt == kNameAttempts)
            throw Exception("Cannot create file \"" + target + "\". " + std::strerror(EEXIST));
        target = TargetName();
    }
    output_->SavedFileName = target;
}

// A frame's delay is settled once a later frame has joined the document; without timing at once.
// The newest two frames wait: the last one may yet give its time to the one before.
void TFrameSink::WriteSettledFrames(bool all) {
    TSinkOutput& output = *output_;
    if (!output.Written) return;
    TGIFImageList& frames = document_.Images();
    const int waiting = all || !output.Timing.Enabled ? 0 : 2;
    while (frames.Count() > waiting) {
        if (!output.Writer) BeginWriting();
        const TGIFGraphicControlExtension* control = frames[0].GraphicControlExtension();
        const int delay = control ? control->Delay() : 0;
        output.WrittenHundredths += delay;
        output.Writer->Write(frames[0]);
        const int64_t bytes = output.Stream->Position();
        if (++output.WrittenFrames == 1) {
            output.FirstFrameBytes = bytes;
            output.FirstFrameHundredths = delay;
        }
        bytesWritten_.store(bytes, std::memory_order_relaxed);
        frames.Delete(0);
        CheckSizeLimit(bytes);
    }
}

void TFrameSink::BeginWriting() {
    TSinkOutput& output = *output_;
    if (output.MeasureOnly) {
        output.Counter = std::make_unique<TCountingStream>();
        output.Stream = output.Counter.get();
    } else {
        output.File = std::make_unique<TPendingFile>(TargetName());
        output.Stream = &output.File->Stream();
    }
    output.Writer = std::make_unique<TGIFStreamWriter>(document_, *output.Stream);
}

void TFrameSink::FinishWriting() {
    TSinkOutput& output = *output_;
    WriteSettledFrames(true);
    if (!output.Writer) throw Exception(kNoFramesMessage);
    output.Writer->Finish();
    const int64_t bytes = output.Stream->Size();
    bytesWritten_.store(bytes, std::memory_order_relaxed);
    CheckSizeLimit(bytes);
    if (output.File) Place(*output.File);
    output.SavedFrames = output.Writer->Frames();
    output.Writer.reset();
    output.Stream = nullptr;
    output.File.reset();
    output.Counter.reset();
}

void TFrameSink::CheckSizeLimit(int64_t bytes) {
    TSinkOutput& output = *output_;
    if (output.SizeLimit == 0 || bytes <= output.SizeLimit) return;
    output.LimitExceeded = true;
    throw Exception(kSizeLimitMessage);
}

// The temporary file is removed unless it has been given its name.
void TFrameSink::Fail() {
    TSinkOutput& output = *output_;
    if (!output.Written) return;
    output.Failure = std::current_exception();
    output.Writer.reset();
    output.Stream = nullptr;
    output.File.reset();
    output.Counter.reset();
}
