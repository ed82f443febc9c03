#pragma once
// Animation painters: each plays a document's frames on one canvas rectangle, with the frames'
// delays, disposal methods and loop count, on a thread of its own or in the caller's thread.
#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "gif/core/GIFTypes.h"
#include "gif/model/GIFExtensions.h"
#include "gif/model/GIFImage.h"
#include "gif/paint/GIFComposer.h"
#include "gif/paint/PictureOutput.h"
#include "platform/Canvas.h"
#include "platform/PaintTimer.h"
#include "platform/Thread.h"

class TGIFImage;
class TGIFSubImage;
class TGIFPainter;

// A delay unit of a graphic control extension (a hundredth of a second) is painted as 12 ms.
constexpr int kPaintDelayUnitMs = 12;
// A frame without a delay shows for 10 units.
constexpr int kPaintDefaultDelayUnits = 10;
// Shorter delays are raised to 3 units.
constexpr int kPaintMinDelayUnits = 3;
// A painter without a thread of its own cuts delays to 1000 units.
constexpr int kPaintMaxUnthreadedDelayUnits = 1000;
// A painter without a thread of its own at a playback speed below 1 waits 12 seconds a frame.
constexpr int kPaintStalledWaitMs = 12000;

// The painters of one document. Threaded painters belong to the list and are freed once they
// have ended; a painter in the caller's thread is only listed while it runs.
class TGIFPainterList {
public:
    TGIFPainterList() = default;
    ~TGIFPainterList();
    TGIFPainterList(const TGIFPainterList&) = delete;
    TGIFPainterList& operator=(const TGIFPainterList&) = delete;

    // Held while adding, removing or stopping painters (and while the document optimises).
    std::recursive_mutex& Lock() { return lock_; }

    void Add(TGIFPainter* painter);
    void Add(std::unique_ptr<TGIFPainter> painter);
    // Called by a painter as it ends.
    void Remove(TGIFPainter* painter);
    bool Contains(const TGIFPainter* painter);
    // Running painters.
    int Count();
    std::vector<TGIFPainter*> Painters();

    // Stops every painter and waits until each threaded one has ended, running the calls they
    // hand to the main thread meanwhile when called there. A painter whose event handler is
    // the caller is not waited for: it ends when the handler returns.
    void StopAll();
    // Frees the threaded painters that have ended.
    void FreeEnded();

private:
    bool ThreadedRunning();

    std::recursive_mutex lock_;
    std::vector<TGIFPainter*> running_;
    std::vector<std::unique_ptr<TGIFPainter>> owned_;
};

class TGIFPainter : public TThread {
public:
    // A painter of `image` on `rect` of `canvas` with a copy of `options` (PaintOptions bits)
    // and of the document's playback speed and paint events. `reference`, when given, is a slot
    // holding this painter, cleared (under the list's lock) when the painter ends.
    TGIFPainter(TGIFImage& image, TCanvas& canvas, const TRect& rect, uint16_t options,
                TGIFPainter** reference = nullptr);
    ~TGIFPainter() override;

    // Runs the animation in the calling thread and returns when it ends; an error inside it
    // is raised from here.
    void Run();
    // Ends the animation: the painter stops waiting at once and paints no more.
    void Stop();
    // Ends the current pass and starts the animation over from the first frame.
    void Restart();
    // Paints the current picture again (a target that was covered). Main thread only.
    void Repaint();
    // A new playback speed for the next waits; a painter that waits for ever stops waiting.
    void SetSpeed(int percent);

    TGIFImage& Image() const { return image_; }
    TCanvas& Canvas() const { return canvas_; }
    const TRect& Rect() const { return rect_; }
    uint16_t Options() const { return options_; }
    bool Threaded() const { return options_ & poThreaded; }
    // The frame being painted; -1 when idle. Event handlers may move it: the painter then goes
    // on from there instead of the next frame.
    int ActiveImage() const { return activeImage_; }
    void SetActiveImage(int index) { activeImage_ = index; }
    // Disposal methods of the frame painted last and of the one before it.
    TDisposalMethod Disposal() const { return disposal_; }
    TDisposalMethod PreviousDisposal() const { return previousDisposal_; }
    // The loop count of the looping extension met last (0: for ever).
    int LoopCount() const { return loopCount_; }
    bool Restarting() const { return restart_; }
    // True while the painter runs a step on the document's thread (painting, an event).
    bool InDocumentStep() const { return inDocumentStep_; }
    std::exception_ptr Error() const { return error_; }

    TGIFPainterEvent OnStartPaint;
    TGIFPainterEvent OnPaint;
    TGIFPainterEvent OnAfterPaint;
    TGIFPainterEvent OnLoop;
    TGIFPainterEvent OnEndPaint;

protected:
    void Execute() override;

private:
    bool Stopping() const { return Terminated() || restart_; }
    // Runs `step` where the document may be touched: the main thread for a threaded painter.
    void OnDocumentThread(const std::function<void()>& step);
    void Fire(const TGIFPainterEvent& event);
    void Wait();

    void Begin();
    void End();
    void PlayPasses();
    // Plays the frames from the first; false when stopped or restarted on the way.
    bool PlayPass();
    bool LoopsAgain(int passesDone) const;
    bool PrepareFrame();
    void PaintStep();
    void PaintFrame(TGIFSubImage& frame);
    void StartOver();
    void DrawDirect(TGIFSubImage& frame);
    int DelayUnits(const TGIFSubImage& frame) const;
    int WaitMilliseconds() const;

    TGIFImage& image_;
    TGIFPainterList& list_;
    TCanvas& canvas_;
    const TRect rect_;
    const uint16_t options_;
    TGIFPainter** reference_;
    TPaintTimer& timer_;
    const int nice_;
    TPictureOutput output_;
    TGIFComposer composer_;

    std::atomic<int> activeImage_{-1};
    std::atomic<bool> restart_{false};
    std::atomic<bool> inDocumentStep_{false};
    std::atomic<int> speed_;
    TEvent wake_;
    TDisposalMethod disposal_ = dmNone;
    TDisposalMethod previousDisposal_ = dmNone;
    int loopCount_ = 0;
    int delayUnits_ = 0;
    bool painted_ = false;
    int64_t paintedAt_ = 0;
    // Direct painting: where the last frame went and, for "restore previous", what was there.
    TRect lastArea_;
    std::vector<TBitmap> backup_;
    std::exception_ptr error_;
};
