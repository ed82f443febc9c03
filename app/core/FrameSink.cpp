#include "app/core/FrameSink.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/core/OutputName.h"
#include "app/core/PendingFile.h"
#include "gif/model/GIFDefaults.h"
#include "gif/model/GIFExtensions.h"
#include "gif/model/GIFStreamWriter.h"
#include "platform/Exception.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace {

constexpr const char* kOutputExtension = ".gif";
// Names tried beside the input when the chosen one is taken while the document is written.
constexpr int kNameAttempts = 100;
// What optimising before saving does: every pass that keeps the pictures as they were.
constexpr TGIFOptimizeOptions kOptimization = ooCrop | ooMerge | ooCleanup | ooColorMap;

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

TTickLength TickOf(const AVStream* stream) {
    if (!stream) return {};
    return {stream->time_base.num, stream->time_base.den};
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

TFrameSink::TFrameSink(TSinkWindow& window)
    : window_(window), pipeline_(std::make_unique<TFramePipeline>(workers_)) {
    document_.SetReductionMode(prOctreePlusSystem);
}

TFrameSink::~TFrameSink() {
    DropFile();
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

// Formats into a buffer on the stack: a frame's log lines take no memory from the heap.
void TFrameSink::Log(const char* format, ...) {
    char line[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    window_.LogLine(line);
}

void TFrameSink::FOAWriteHeader(TFrameOutputAdapter*) {
    Log("Frame output write header");
    // What an output that failed left in the pipeline goes.
    if (pipeline_->Workers() == workers_)
        pipeline_->Discard();
    else
        pipeline_ = std::make_unique<TFramePipeline>(workers_);
    DropFile();
    failure_ = nullptr;
    // Optimising needs the whole document, also when saving does it.
    written_ = !keepFrames_ && !optimizeFrames_ && !GIFDefaults().OptimizeBeforeStreaming;
    document_.Clear();
    outputTiming_ = timing_;
    delays_.Reset();
    frameLength_ = 0;
    lastControl_ = nullptr;
    timedFrames_ = false;
    appendedFrames_ = 0;
    waitingDelays_.clear();
    savedFileName_.clear();
    savedFrames_ = 0;
    skippedFrames_ = 0;
    bytesWritten_.store(0, std::memory_order_relaxed);
}

void TFrameSink::FOAWriteFrame(TFrameOutputAdapter*, POutputFrameInfo AFrameInfo) {
    const TOutputFrameInfo& info = *AFrameInfo;
    const AVPacket* packet = info.Packet;
    const bool keyFrame = packet && (packet->flags & AV_PKT_FLAG_KEY);
    Log("FrameOutput write frame #%d, size=%d, key-frame=%d", info.FrameNumber,
        packet ? packet->size : 0, keyFrame ? 1 : 0);
    if (failure_) std::rethrow_exception(failure_);
    try {
        TakeFrame(info);
    } catch (...) {
        Fail();
        throw;
    }
}

void TFrameSink::TakeFrame(const TOutputFrameInfo& info) {
    if (Skip(info)) {
        ++skippedFrames_;
        if (TimedFrames()) AdvanceClock(info);
        return;
    }
    while (pipeline_->OldestMade()) AppendOldestFrame();
    // A full pipeline is the only wait for the workers.
    while (pipeline_->Full()) AppendOldestFrame();
    const bool preview = window_.PreviewWanted();
    TBitmap& bitmap = pipeline_->NextBitmap();
    CopyPixels(info, bitmap);
    if (preview) window_.PreviewFrame(bitmap, info.FrameNumber);
    if (outputTiming_.Enabled) {
        AdvanceClock(info);
        waitingDelays_.push_back(0);
        timedFrames_ = true;
    }
    pipeline_->Submit(
        {{document_.ReductionMode(), document_.DiffusionMode(), document_.QuantizeBits()},
         document_.Encoding()});
    // The frame before this one has its delay now.
    WriteSettledFrames(false);
    if (preview) window_.ShowPreview();
}

void TFrameSink::AppendOldestFrame() {
    int delay = 0;
    if (outputTiming_.Enabled && !waitingDelays_.empty()) {
        delay = waitingDelays_.front();
        waitingDelays_.pop_front();
    }
    std::unique_ptr<TGIFSubImage> frame = pipeline_->TakeOldest();
    if (!frame) return;
    const int index = document_.AddImported(std::move(frame));
    if (outputTiming_.Enabled) AddTiming(index, delay);
    ++appendedFrames_;
    WriteSettledFrames(false);
}

// A frame is taken only when its packet holds all of its rows.
bool TFrameSink::Skip(const TOutputFrameInfo& info) {
    const AVPacket* packet = info.Packet;
    const int size = packet ? packet->size : 0;
    const int64_t needed =
        static_cast<int64_t>(std::max(info.Width, 0)) * std::max(info.Height, 0) * 3;
    const bool complete =
        info.Width >= 0 && info.Height >= 0 && size >= needed && (needed == 0 || packet->data);
    if (complete) return false;
    Log("FrameOutput skipped frame #%d: size=%d, a %dx%d frame needs %lld", info.FrameNumber, size,
        info.Width, info.Height, static_cast<long long>(needed));
    return true;
}

// The packet's rows are width x 3 bytes each, top row first, without padding: blue, green, red
// like the bitmap's own rows.
void TFrameSink::CopyPixels(const TOutputFrameInfo& info, TBitmap& bitmap) {
    bitmap.SetSize(info.Width, info.Height);
    const size_t rowBytes = static_cast<size_t>(info.Width) * 3;
    const uint8_t* source = info.Packet ? info.Packet->data : nullptr;
    for (int row = 0; row < info.Height && rowBytes > 0; ++row)
        std::memcpy(bitmap.ScanLine(row), source + row * rowBytes, rowBytes);
}

void TFrameSink::AdvanceClock(const TOutputFrameInfo& info) {
    const AVPacket* packet = info.Packet;
    const AVStream* stream = FirstStream(info);
    const int64_t pts = packet ? TimestampOf(packet) : TFrameDelays::kNoTime;
    const int64_t duration = packet ? packet->duration : 0;
    if (!TimedFrames()) frameLength_ = FrameLengthOf(stream);
    const int delay = delays_.NextFrame(pts, duration, TickOf(stream));
    if (delay > 0) AddDelay(delay);
}

// The looping extension in front of the first frame, then every frame's graphic control
// extension, whose delay is set once the next frame (or the end) tells it.
void TFrameSink::AddTiming(int frameIndex, int delay) {
    TGIFSubImage& frame = document_.Images()[frameIndex];
    if (appendedFrames_ == 0 && outputTiming_.Looping) {
        auto loop = std::make_unique<TGIFAppExtNSLoop>(&frame);
        loop->SetLoops(outputTiming_.LoopCount);
        frame.Extensions().Add(std::move(loop));
    }
    auto control = std::make_unique<TGIFGraphicControlExtension>(&frame);
    control->SetDelay(delay);
    lastControl_ = control.get();
    frame.Extensions().Add(std::move(control));
}

// To the last frame delivered, in the pipeline or in the document.
void TFrameSink::AddDelay(int delay) {
    if (!waitingDelays_.empty()) {
        int& waiting = waitingDelays_.back();
        waiting = std::min(waiting + delay, TFrameDelays::kMaxDelay);
    } else if (lastControl_) {
        lastControl_->SetDelay(std::min(lastControl_->Delay() + delay, TFrameDelays::kMaxDelay));
    }
}

void TFrameSink::FOAWriteClose(TFrameOutputAdapter*) {
    Log("Frame output write close");
    TBusyCursor busy(window_);
    if (failure_) std::rethrow_exception(failure_);
    try {
        if (TimedFrames()) AddDelay(delays_.LastFrame(frameLength_));
        while (pipeline_->InFlight() > 0) AppendOldestFrame();
        lastControl_ = nullptr;
        if (written_) {
            FinishWriting();
            return;
        }
        if (document_.Images().Count() == 0) throw Exception(kNoFramesMessage);
        if (optimizeFrames_) Optimize();
        Save();
    } catch (...) {
        Fail();
        throw;
    }
}

void TFrameSink::Optimize() {
    Log("Frame output optimize %d frames", document_.Images().Count());
    document_.OptimizeFrames(kOptimization, document_.ReductionMode(), document_.QuantizeBits(),
                             document_.DiffusionMode());
}

// The document goes to a temporary file beside the target first; only the complete file gets
// the target's name.
void TFrameSink::Save() {
    TPendingFile file(TargetName());
    document_.SaveToStream(file.Stream());
    // The stream is closed once the file is placed.
    const int64_t bytes = file.Stream().Size();
    Place(file);
    savedFrames_ = document_.Images().Count();
    bytesWritten_.store(bytes, std::memory_order_relaxed);
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
    savedFileName_ = target;
}

// A frame's delay is settled once a later frame has been delivered; without timing at once.
void TFrameSink::WriteSettledFrames(bool all) {
    if (!written_) return;
    TGIFImageList& frames = document_.Images();
    const bool lastSettled = all || !outputTiming_.Enabled || !waitingDelays_.empty();
    while (frames.Count() > 1 || (frames.Count() == 1 && lastSettled)) {
        TGIFSubImage& frame = frames[0];
        WriteFrame(frame);
        if (lastControl_ && frame.GraphicControlExtension() == lastControl_) lastControl_ = nullptr;
        frames.Delete(0);
    }
}

void TFrameSink::WriteFrame(TGIFSubImage& frame) {
    if (!writer_) {
        file_ = std::make_unique<TPendingFile>(TargetName());
        writer_ = std::make_unique<TGIFStreamWriter>(document_, file_->Stream());
    }
    writer_->Write(frame);
    bytesWritten_.store(file_->Stream().Position(), std::memory_order_relaxed);
}

void TFrameSink::FinishWriting() {
    WriteSettledFrames(true);
    if (!writer_) throw Exception(kNoFramesMessage);
    writer_->Finish();
    bytesWritten_.store(file_->Stream().Size(), std::memory_order_relaxed);
    Place(*file_);
    savedFrames_ = writer_->Frames();
    DropFile();
}

void TFrameSink::Fail() {
    if (!written_) return;
    failure_ = std::current_exception();
    DropFile();
}

// The temporary file is removed unless it has been given its name.
void TFrameSink::DropFile() {
    writer_.reset();
    file_.reset();
}
