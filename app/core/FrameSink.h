#pragma once
// TFrameSink: the road of every converted frame into the GIF document, shared by the desktop
// program and the command line. Bound to a frame output adapter, it empties the document when
// an output starts, copies each raw BGR24 frame and hands it to a pipeline of workers that
// reduce and code it, appends the frames to the document in their order (each with its delay
// when timing is on), and saves the document when the output closes: beside the input under a
// name that exists nowhere yet, or under the name it was given, never replacing a file. What it
// shows goes through a TSinkWindow.
//
// The handlers run on the conversion's thread, which waits for the workers only when the
// pipeline is full and when the output closes. The front end leaves the sink alone while a
// conversion runs, and reads the results once it has ended.
#include <cstdarg>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "app/core/FrameDelays.h"
#include "app/core/FramePipeline.h"
#include "app/core/SinkWindow.h"
#include "engine/output/FrameOutput.h"
#include "gif/GIFImage.h"
#include "platform/Bitmap.h"

class TGIFGraphicControlExtension;

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
    // DefaultFrameWorkers(). Takes effect at the next output.
    int Workers() const { return workers_; }
    void SetWorkers(int workers) { workers_ = workers < 0 ? 0 : workers; }

    // Whether the document is optimised before it is saved: frames cropped to what changed,
    // unchanged pixels made transparent, what carries nothing removed, colour tables sorted by
    // use. The pictures a viewer composes stay the same; the file gets smaller. Off by default;
    // takes effect at the next close.
    bool OptimizeFrames() const { return optimizeFrames_; }
    void SetOptimizeFrames(bool on) { optimizeFrames_ = on; }

    // The document, reduced with prOctreePlusSystem; its other settings (DiffusionMode ...) are
    // the front end's to change between conversions. Its frames stay until the next output,
    // holding their coded image data (their pixels are decoded when something reads them).
    TGIFImage& Document() { return document_; }
    const TGIFImage& Document() const { return document_; }

    // The file the last output was saved to; empty from the start of an output until it is saved.
    const std::string& SavedFileName() const { return savedFileName_; }
    // Frames of the last output that were left out because their packet was too short.
    int SkippedFrames() const { return skippedFrames_; }

    // Start of an output: "Frame output write header", the document emptied.
    void FOAWriteHeader(TFrameOutputAdapter* Sender);
    // One frame: its log line, the preview, the frame copied and handed to the pipeline; the
    // frames the pipeline has made go into the document. A packet shorter than width x height
    // x 3 bytes is skipped with a log line. A frame the pipeline could not make raises its
    // error in a later call.
    void FOAWriteFrame(TFrameOutputAdapter* Sender, POutputFrameInfo AFrameInfo);
    // End of the output: "Frame output write close"; under the busy cursor the last frames are
    // waited for and the document (optimised, when asked) is saved. Fails with kNoFramesMessage
    // without frames, and with the error of a frame or of the save; nothing is left behind
    // either way.
    void FOAWriteClose(TFrameOutputAdapter* Sender);

private:
    void Log(const char* format, ...) __attribute__((format(printf, 2, 3)));
    bool Skip(const TOutputFrameInfo& info);
    void CopyPixels(const TOutputFrameInfo& info, TBitmap& bitmap);
    // Takes the oldest frame from the pipeline (waiting for it) into the document.
    void AppendOldestFrame();
    // A frame has been delivered with timing in this output.
    bool TimedFrames() const { return lastControl_ || !waitingDelays_.empty(); }
    // Moves the clock of the delays on to this frame; the time since the previous frame goes
    // to the frame delivered before it.
    void AdvanceClock(const TOutputFrameInfo& info);
    void AddTiming(int frameIndex, int delay);
    void AddDelay(int delay);
    void Optimize();
    void Save();

    TSinkWindow& window_;
    int64_t attachedAdapter_ = 0;  // the identity of the adapter bound to the sink, 0 none
    TGIFImage document_;
    int workers_ = DefaultFrameWorkers();
    std::unique_ptr<TFramePipeline> pipeline_;
    std::string inputFileName_;
    std::string outputFileName_;
    TFrameTimingOptions timing_;
    bool optimizeFrames_ = false;
    TFrameTimingOptions outputTiming_;  // the timing of the output under way
    TFrameDelays delays_;
    int64_t frameLength_ = 0;  // ticks of one frame by the stream's frame rate, 0 unknown
    TGIFGraphicControlExtension* lastControl_ = nullptr;  // of the document's last frame
    // The delays of the frames in the pipeline, oldest first, while timing is on.
    std::deque<int> waitingDelays_;
    std::string savedFileName_;
    int skippedFrames_ = 0;
};
