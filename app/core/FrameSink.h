#pragma once
// TFrameSink: the road of every converted frame into the GIF document, shared by the desktop
// program and the command line. Bound to a frame output adapter, it empties the document when
// an output starts, copies each raw BGR24 frame into the frame bitmap and adds it to the
// document (with its delay when timing is on), and saves the document when the output closes:
// beside the input under a name that exists nowhere yet, or under the name it was given, never
// replacing a file. What it shows goes through a TSinkWindow.
//
// The handlers run on the conversion's thread; the front end leaves the sink alone while a
// conversion runs, and reads the results once it has ended.
#include <cstdarg>
#include <cstdint>
#include <string>

#include "app/core/FrameDelays.h"
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

    // Whether the document is made smaller before it is saved (OptimizeFrames with
    // kOptimizeOptions: what a viewer sees stays the same); off by default.
    static constexpr TGIFOptimizeOptions kOptimizeOptions = ooCrop | ooMerge | ooCleanup;
    bool Optimize() const { return optimize_; }
    void SetOptimize(bool on) { optimize_ = on; }

    // The document, reduced with prOctreePlusSystem; its other settings (DiffusionMode ...) are
    // the front end's to change between conversions. Its frames stay until the next output.
    TGIFImage& Document() { return document_; }
    const TGIFImage& Document() const { return document_; }
    // The bitmap every frame is copied into.
    const TBitmap& FrameBitmap() const { return frameBitmap_; }

    // The file the last output was saved to; empty from the start of an output until it is saved.
    const std::string& SavedFileName() const { return savedFileName_; }
    // Frames of the last output that were left out because their packet was too short.
    int SkippedFrames() const { return skippedFrames_; }

    // Start of an output: "Frame output write header", the document emptied.
    void FOAWriteHeader(TFrameOutputAdapter* Sender);
    // One frame: its log line, the preview, the frame copied and added to the document. A
    // packet shorter than width x height x 3 bytes is skipped with a log line.
    void FOAWriteFrame(TFrameOutputAdapter* Sender, POutputFrameInfo AFrameInfo);
    // End of the output: "Frame output write close", the document saved under the busy cursor.
    // Fails with kNoFramesMessage without frames, and with the save's error; nothing is left
    // behind either way.
    void FOAWriteClose(TFrameOutputAdapter* Sender);

private:
    void Log(const char* format, ...) __attribute__((format(printf, 2, 3)));
    bool Skip(const TOutputFrameInfo& info);
    void CopyPixels(const TOutputFrameInfo& info);
    // Moves the clock of the delays on to this frame; the time since the previous frame goes
    // to the last frame in the document.
    void AdvanceClock(const TOutputFrameInfo& info);
    void AddTiming(int frameIndex);
    void AddDelay(int delay);
    void Save();

    TSinkWindow& window_;
    int64_t attachedAdapter_ = 0;  // the identity of the adapter bound to the sink, 0 none
    TGIFImage document_;
    TBitmap frameBitmap_;
    std::string inputFileName_;
    std::string outputFileName_;
    TFrameTimingOptions timing_;
    TFrameTimingOptions outputTiming_;  // the timing of the output under way
    bool optimize_ = false;
    TFrameDelays delays_;
    int64_t frameLength_ = 0;  // ticks of one frame by the stream's frame rate, 0 unknown
    TGIFGraphicControlExtension* lastControl_ = nullptr;  // of the document's last frame
    std::string savedFileName_;
    int skippedFrames_ = 0;
};
