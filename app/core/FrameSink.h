#pragma once
// TFrameSink: the road of every converted frame into the GIF document, shared by the desktop
// program and the command line. Bound to a frame output adapter, it empties the document when
// an output starts, copies each raw BGR24 frame and hands it to a pipeline of workers that
// reduce and code it, appends the frames to the document in their order (each with its delay
// when timing is on), and saves the GIF: beside the input under a name that exists nowhere yet,
// or under the name it was given, never replacing a file. What it shows goes through a
// TSinkWindow.
//
// Unless the document is optimised (which needs all of it), the GIF is written while the
// conversion runs: into a temporary file beside the target, a frame as soon as its delay is
// settled, after which the frame leaves memory; the close writes the last frame and the
// trailer and gives the file its name. Memory then does not grow with the clip. Otherwise, or
// when asked to, the document keeps every frame and is saved whole at the close.
//
// The handlers run on the conversion's thread, which waits for the workers only when the
// pipeline is full and when the output closes. The front end leaves the sink alone while a
// conversion runs, and reads the results once it has ended.
#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <string>

#include "app/core/FrameDelays.h"
#include "app/core/FramePipeline.h"
#include "app/core/SinkWindow.h"
#include "engine/output/FrameOutput.h"
#include "gif/model/GIFImage.h"
#include "platform/Bitmap.h"

class TGIFGraphicControlExtension;
class TGIFStreamWriter;
class TPendingFile;

class TFrameSink {
public:
    // The failure of an output that delivered no frame: nothing is saved.
    static constexpr const char* kNoFramesMessage = "No frames were converted, so no GIF was saved";

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

    // Threads that reduce and code the frames (0: the conversion's thread does it); by default
    // DefaultFrameWorkers(). Takes effect at the next output, whose thread then starts them:
    // the sink's own workers are started with it, at the priority of the thread that makes it.
    int Workers() const { return workers_; }
    void SetWorkers(int workers) { workers_ = workers < 0 ? 0 : workers; }

    // Whether the document is optimised before it is saved: frames cropped to what changed,
    // unchanged pixels made transparent, what carries nothing removed, colour tables sorted by
    // use. The pictures a viewer composes stay the same; the file gets smaller. The document
    // is then held whole until the close. Off by default; takes effect at the next output.
    bool OptimizeFrames() const { return optimizeFrames_; }
    void SetOptimizeFrames(bool on) { optimizeFrames_ = on; }
    // Whether the document keeps every frame until the next output and is saved whole at the
    // close, as when it is optimised, instead of being written while the conversion runs. The
    // file is the same either way. Off by default; takes effect at the next output.
    bool KeepFrames() const { return keepFrames_; }
    void SetKeepFrames(bool on) { keepFrames_ = on; }

    // The document, reduced with prOctreePlusSystem; its other settings (DiffusionMode ...) are
    // the front end's to change between conversions. Its logical screen is that of the last
    // output until the next one starts. Its frames hold their coded image data (their pixels
    // are decoded when something reads them); they stay until the next output when the
    // document is optimised, and leave as they are written otherwise.
    TGIFImage& Document() { return document_; }
    const TGIFImage& Document() const { return document_; }

    // The file the last output was saved to; empty from the start of an output until it is saved.
    const std::string& SavedFileName() const { return savedFileName_; }
    // The frames of that file; 0 until it is saved.
    int SavedFrames() const { return savedFrames_; }
    // Frames of the last output that were left out because their packet was too short.
    int SkippedFrames() const { return skippedFrames_; }
    // Bytes of GIF written so far for the output under way (or the last one's whole size once
    // it is saved); 0 while the document is kept whole until the close. May be read on any
    // thread while the conversion runs.
    int64_t BytesWritten() const { return bytesWritten_.load(std::memory_order_relaxed); }

    // Start of an output: "Frame output write header", the document emptied.
    void FOAWriteHeader(TFrameOutputAdapter* Sender);
    // One frame: its log line, the preview, the frame copied and handed to the pipeline; the
    // frames the pipeline has made go into the document. A packet shorter than width x height
    // x 3 bytes is skipped with a log line. A frame the pipeline could not make raises its
    // error in a later call.
    void FOAWriteFrame(TFrameOutputAdapter* Sender, POutputFrameInfo AFrameInfo);
    // End of the output: "Frame output write close"; under the busy cursor the last frames are
    // waited for and written, or the document (optimised, when asked) is saved. Fails with
    // kNoFramesMessage without frames, and with the error of a frame or of the writing; nothing
    // is left behind either way. An output whose frame failed leaves nothing behind at once,
    // and its later frames and close fail with the same error.
    void FOAWriteClose(TFrameOutputAdapter* Sender);

private:
    void Log(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void TakeFrame(const TOutputFrameInfo& info);
    bool Skip(const TOutputFrameInfo& info);
    void CopyPixels(const TOutputFrameInfo& info, TBitmap& bitmap);
    // Takes the oldest frame from the pipeline (waiting for it) into the document.
    void AppendOldestFrame();
    // A frame has been delivered with timing in this output.
    bool TimedFrames() const { return timedFrames_; }
    // Moves the clock of the delays on to this frame; the time since the previous frame goes
    // to the frame delivered before it.
    void AdvanceClock(const TOutputFrameInfo& info);
    void AddTiming(int frameIndex, int delay);
    void AddDelay(int delay);
    void Optimize();
    void Save();
    // The written road: the frames of the document whose delays can no longer change (all of
    // them with `all`) go to the file, which is begun with the first.
    void WriteSettledFrames(bool all);
    void WriteFrame(TGIFSubImage& frame);
    void FinishWriting();
    // A failed output: the file goes; a written output keeps the error for its later calls.
    void Fail();
    void DropFile();
    // The name to save under, as things stand: the chosen one or the next free one.
    std::string TargetName() const;
    // Gives the complete file its name, the next free one when the name is taken meanwhile
    // (never for a chosen name).
    void Place(TPendingFile& file);

    TSinkWindow& window_;
    int64_t attachedAdapter_ = 0;  // the identity of the adapter bound to the sink, 0 none
    TGIFImage document_;
    int workers_ = DefaultFrameWorkers();
    std::unique_ptr<TFramePipeline> pipeline_;
    std::string inputFileName_;
    std::string outputFileName_;
    TFrameTimingOptions timing_;
    bool optimizeFrames_ = false;
    bool keepFrames_ = false;
    TFrameTimingOptions outputTiming_;  // the timing of the output under way
    TFrameDelays delays_;
    int64_t frameLength_ = 0;  // ticks of one frame by the stream's frame rate, 0 unknown
    TGIFGraphicControlExtension* lastControl_ = nullptr;  // of the document's last frame
    bool timedFrames_ = false;  // a frame has been delivered with timing in this output
    int appendedFrames_ = 0;    // frames of this output that reached the document
    // The delays of the frames in the pipeline, oldest first, while timing is on.
    std::deque<int> waitingDelays_;
    bool written_ = false;  // this output is written as it goes
    std::unique_ptr<TPendingFile> file_;
    std::unique_ptr<TGIFStreamWriter> writer_;
    std::exception_ptr failure_;  // what failed the written output under way
    std::string savedFileName_;
    int savedFrames_ = 0;
    int skippedFrames_ = 0;
    std::atomic<int64_t> bytesWritten_{0};
};
