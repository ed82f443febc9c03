#pragma once
// TFrameSink: the road of every converted frame into the GIF, shared by the desktop program
// and the command line. Bound to a frame output adapter, it starts a new output at the
// adapter's header, copies each raw frame and hands it to a pipeline of workers that make it a
// GIF frame, appends the frames to the document in their order (each with its delay when timing
// is on), and saves the GIF: beside the input under a name that exists nowhere yet, or under
// the name it was given, never replacing a file. What it shows goes through a TSinkWindow.
//
// Two ways of choosing colours (TFrameColors): palettes fitted to each frame with only what
// changed stored (the default of both front ends), or the document's own reduction (the octree
// with the system colours) with every frame whole, as the desktop program first did.
//
// Unless the document is to be kept whole, the GIF is written while the conversion runs: into
// a temporary file beside the target, a frame as soon as its delay is settled, after which the
// frame leaves memory; the close writes the last frame and the trailer and gives the file its
// name. Memory then does not grow with the clip.
//
// The handlers run on the conversion's thread, which waits for the workers only when the
// pipeline is full and when the output closes. The front end leaves the sink alone while a
// conversion runs, and reads the results once it has ended.
#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <memory>
#include <string>

#include "app/core/FrameColors.h"
#include "app/core/FrameDelays.h"
#include "app/core/FramePipeline.h"
#include "app/core/SinkWindow.h"
#include "engine/output/FrameOutput.h"
#include "gif/model/GIFImage.h"
#include "gif/optimise/ColorQuality.h"
#include "platform/Bitmap.h"

struct TSinkOutput;

// One frame as the adapter delivers it: what the sink needs of the packet and the stream.
struct TSinkFrame {
    const uint8_t* Pixels = nullptr;  // Height rows of Width x 3 bytes, no padding
    int Size = 0;                     // bytes the packet holds
    int Width = 0;
    int Height = 0;
    bool RedFirst = false;  // red, green, blue pixels; otherwise blue, green, red
    int Number = 0;         // from 1
    bool KeyFrame = false;
    int64_t Time = TFrameDelays::kNoTime;  // start, in ticks
    int64_t Duration = 0;                  // in ticks, 0 unknown
    TTickLength Tick;
    int64_t FrameLength = 0;  // one frame by the stream's frame rate, in ticks; 0 unknown
};

// The frame the adapter's record describes; the only reader of its packet and stream.
TSinkFrame ReadSinkFrame(const TOutputFrameInfo& info);

class TFrameSink {
public:
    // The failure of an output that delivered no frame: nothing is saved.
    static constexpr const char* kNoFramesMessage = "No frames were converted, so no GIF was saved";
    // The failure of an output whose GIF grew past the size limit: nothing is saved.
    static constexpr const char* kSizeLimitMessage = "The GIF grew larger than its size limit";

    explicit TFrameSink(TSinkWindow& window);
    // Unbinds the adapter it is attached to, when that still exists.
    ~TFrameSink();
    TFrameSink(const TFrameSink&) = delete;
    TFrameSink& operator=(const TFrameSink&) = delete;

    // Binds the adapter's OnWriteHeader, OnWriteFrame and OnWriteClose to the handlers below;
    // Detach unbinds them. An adapter serves one sink at a time.
    void Attach(TFrameOutputAdapter& adapter);
    void Detach(TFrameOutputAdapter& adapter);

    // The file being converted: the GIF is saved beside it, as GetUniqueOutputName names it.
    const std::string& InputFileName() const { return inputFileName_; }
    void SetInputFileName(const std::string& name) { inputFileName_ = name; }
    // A name to save under instead (empty: beside the input). An existing file of that name is
    // never replaced: the save fails.
    const std::string& OutputFileName() const { return outputFileName_; }
    void SetOutputFileName(const std::string& name) { outputFileName_ = name; }

    // Delays and looping (on by default); takes effect at the next output.
    const TFrameTimingOptions& Timing() const { return timing_; }
    void SetTiming(const TFrameTimingOptions& timing) { timing_ = timing; }

    // How colours are chosen (the octree road by default; the front ends choose Fitted) and the
    // fitted road's quality (1 to 100); take effect at the next output.
    TFrameColors Colors() const { return colors_; }
    void SetColors(TFrameColors colors) { colors_ = colors; }
    int Quality() const { return quality_; }
    void SetQuality(int quality) { quality_ = quality; }
    // Whether the fitted road dithers smooth areas with its stable pattern (on by default).
    bool PatternDither() const { return patternDither_; }
    void SetPatternDither(bool on) { patternDither_ = on; }

    // Threads that make the frames (0: the conversion's thread does it); by default
    // DefaultFrameWorkers(). Takes effect at the next output, whose thread then starts them:
    // the sink's own workers are started with it, at the priority of the thread that makes it.
    int Workers() const { return workers_; }
    void SetWorkers(int workers) { workers_ = workers < 0 ? 0 : workers; }

    // Whether the octree road optimises its frames against the picture on screen: tables
    // sorted by use, unchanged pixels transparent, frames cropped to what changed, a frame never
    // larger than it was. The pictures a viewer composes stay the same; the file gets smaller.
    // The fitted road always stores only what changed. Off by default; takes effect at the
    // next output.
    bool OptimizeFrames() const { return optimizeFrames_; }
    void SetOptimizeFrames(bool on) { optimizeFrames_ = on; }
    // Whether the document keeps every frame until the next output and is saved whole at the
    // close instead of being written while the conversion runs. The file is the same either
    // way. Off by default; takes effect at the next output.
    bool KeepFrames() const { return keepFrames_; }
    void SetKeepFrames(bool on) { keepFrames_ = on; }

    // The document: its settings (ReductionMode prOctreePlusSystem, DiffusionMode ...) make the
    // octree road's frames and are the front end's to change between conversions. Its logical
    // screen and global table are those of the last output until the next one starts. Its
    // frames hold their coded image data; they stay until the next output when the document is
    // kept whole, and leave as they are written otherwise.
    TGIFImage& Document() { return document_; }
    const TGIFImage& Document() const { return document_; }

    // The file the last output was saved to; empty from the start of an output until it is saved.
    const std::string& SavedFileName() const;
    // The frames of that file; 0 until it is saved. Frames that added nothing to the picture
    // before them, or would have shown for less than 2 hundredths, are not among them: their
    // time went to that picture.
    int SavedFrames() const;
    // Frames of the last output that were left out because their packet was too short.
    int SkippedFrames() const;
    // The most bytes the GIF may take; 0 for no limit (the default). An output whose GIF grows
    // past it fails with kSizeLimitMessage as soon as it does, leaving nothing behind. Takes
    // effect at the next output.
    int64_t SizeLimit() const { return sizeLimit_; }
    void SetSizeLimit(int64_t bytes) { sizeLimit_ = bytes > 0 ? bytes : 0; }
    // Whether the last output failed for its size limit.
    bool LimitExceeded() const;
    // Whether outputs are only measured: the GIF is written into a stream that counts its bytes,
    // and no file is made or named. Off by default; takes effect at the next output.
    bool MeasureOnly() const { return measureOnly_; }
    void SetMeasureOnly(bool on) { measureOnly_ = on; }
    // Of the output under way or the last one: the bytes of the header and the first frame
    // (0 until it is written) and the hundredths of a second that frame shows for, and the
    // frames written with the hundredths they show for (the delays; 0 without timing).
    int64_t FirstFrameBytes() const;
    int64_t FirstFrameHundredths() const;
    int WrittenFrames() const;
    int64_t WrittenHundredths() const;
    // Bytes of GIF written so far for the output under way (or the last one's whole size once
    // it is saved); 0 while the document is kept whole until the close. May be read on any
    // thread while the conversion runs.
    int64_t BytesWritten() const { return bytesWritten_.load(std::memory_order_relaxed); }

    // Start of an output: "Frame output write header", a new output begun.
    void FOAWriteHeader(TFrameOutputAdapter* Sender);
    // One frame: its log line, the preview, the frame copied and handed to the pipeline; the
    // frames the pipeline has made go into the document. A packet shorter than width x height
    // x 3 bytes is skipped with a log line. A frame the pipeline could not make raises its
    // error in a later call.
    void FOAWriteFrame(TFrameOutputAdapter* Sender, POutputFrameInfo AFrameInfo);
    // End of the output: "Frame output write close"; under the busy cursor the last frames are
    // waited for and written, or the whole document is saved. Fails with kNoFramesMessage
    // without frames, and with the error of a frame or of the writing; nothing is left behind
    // either way. An output whose frame failed leaves nothing behind at once, and its later
    // frames and close fail with the same error.
    void FOAWriteClose(TFrameOutputAdapter* Sender);

private:
    void Log(const char* format, ...) __attribute__((format(printf, 2, 3)));
    std::unique_ptr<TFrameSteps> NewSteps() const;
    void TakeFrame(const TSinkFrame& frame);
    bool Skip(const TSinkFrame& frame);
    void CopyPixels(const TSinkFrame& frame, TBitmap& picture);
    // Moves the clock of the delays on to this frame; the time since the previous frame goes
    // to the frame delivered before it.
    void AdvanceClock(const TSinkFrame& frame);
    // Adds to the delay of the frame delivered last, in the pipeline or in the document.
    void AddDelay(int delay);
    // That delay so far.
    int& NewestDelay();
    // Frames that would show for less than TFrameDelays::kMinDelay give their time to the
    // frame before: a new one is left out (true), the last one leaves the document.
    bool MergeIntoFrameBefore(const TSinkFrame& frame);
    void MergeShortLastFrame();
    // Takes the oldest frame from the pipeline (waiting for it) into the document.
    void AppendOldestFrame();
    void Append(std::unique_ptr<TGIFSubImage> frame, int delay);
    // The delay owed to the document's newest frame goes into its control extension.
    void SettleNewestDelay();
    void Save();
    // The written road: the document's frames whose delays can no longer change (all of them
    // with `all`) go to the file, which is begun with the first.
    void WriteSettledFrames(bool all);
    void BeginWriting();
    void FinishWriting();
    // Fails the output when `bytes` are more than the size limit allows.
    void CheckSizeLimit(int64_t bytes);
    // A failed output: the file goes; a written output keeps the error for its later calls.
    void Fail();
    // The name to save under, as things stand: the chosen one or the next free one.
    std::string TargetName() const;
    // Gives the complete file its name, the next free one when the name is taken meanwhile
    // (never for a chosen name).
    void Place(class TPendingFile& file);

    TSinkWindow& window_;
    int64_t attachedAdapter_ = 0;  // the identity of the adapter bound to the sink, 0 none
    TGIFImage document_;
    int workers_ = DefaultFrameWorkers();
    std::unique_ptr<TFramePipeline> pipeline_;
    std::string inputFileName_;
    std::string outputFileName_;
    TFrameTimingOptions timing_;
    TFrameColors colors_ = TFrameColors::Octree;
    int quality_ = kDefaultQuality;
    bool patternDither_ = true;
    bool optimizeFrames_ = false;
    bool keepFrames_ = false;
    bool measureOnly_ = false;
    int64_t sizeLimit_ = 0;
    // Everything that belongs to the output under way (or the last one), replaced whole at
    // each header.
    std::unique_ptr<TSinkOutput> output_;
    std::atomic<int64_t> bytesWritten_{0};
};
