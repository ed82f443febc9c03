#include "gif/paint/GIFPainter.h"

#include <algorithm>
#include <climits>

#include "gif/model/GIFImage.h"
#include "platform/MainThread.h"
#include "platform/ThreadPriority.h"

namespace {

// How long a waiting stop sleeps between looks when it is not on the main thread.
constexpr int kStopPollMs = 1;
constexpr int kStopSynchronizeWaitMs = 5;

int NiceValue(TGIFThreadPriority priority) {
    switch (priority) {
        case TGIFThreadPriority::tpIdle:
            return 19;
        case TGIFThreadPriority::tpLowest:
            return 10;
        case TGIFThreadPriority::tpLower:
            return 5;
        default:
            // Raising a thread above the process needs privileges the program does not have.
            return 0;
    }
}

const TGIFAppExtNSLoop* LoopingExtension(const TGIFSubImage& frame) {
    const TGIFExtensionList& extensions = frame.Extensions();
    for (int i = 0; i < extensions.Count(); ++i)
        if (auto* loop = dynamic_cast<const TGIFAppExtNSLoop*>(&extensions[i])) return loop;
    return nullptr;
}

TRect FrameArea(const TGIFSubImage& frame) {
    return {frame.Left(), frame.Top(), frame.Left() + frame.Width(), frame.Top() + frame.Height()};
}

}  // namespace

// The list

TGIFPainterList::~TGIFPainterList() {
    StopAll();
    FreeEnded();
}

void TGIFPainterList::Add(TGIFPainter* painter) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    running_.push_back(painter);
}

void TGIFPainterList::Add(std::unique_ptr<TGIFPainter> painter) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    running_.push_back(painter.get());
    owned_.push_back(std::move(painter));
}

void TGIFPainterList::Remove(TGIFPainter* painter) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    running_.erase(std::remove(running_.begin(), running_.end(), painter), running_.end());
}

bool TGIFPainterList::Contains(const TGIFPainter* painter) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return std::find(running_.begin(), running_.end(), painter) != running_.end();
}

int TGIFPainterList::Count() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return static_cast<int>(running_.size());
}

std::vector<TGIFPainter*> TGIFPainterList::Painters() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return running_;
}

bool TGIFPainterList::ThreadedRunning() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return std::any_of(running_.begin(), running_.end(), [](const TGIFPainter* painter) {
        return painter->Threaded() && !painter->InDocumentStep();
    });
}

void TGIFPainterList::StopAll() {
    {
        std::lock_guard<std::recursive_mutex> guard(lock_);
        for (TGIFPainter* painter : running_) painter->Stop();
    }
    while (ThreadedRunning()) {
        if (IsMainThread())
            WaitForSynchronize(kStopSynchronizeWaitMs);
        else
            SleepMs(kStopPollMs);
    }
}

void TGIFPainterList::FreeEnded() {
    std::vector<std::unique_ptr<TGIFPainter>> ended;
    {
        std::lock_guard<std::recursive_mutex> guard(lock_);
        for (auto it = owned_.begin(); it != owned_.end();) {
            if (std::find(running_.begin(), running_.end(), it->get()) == running_.end()) {
                ended.push_back(std::move(*it));
                it = owned_.erase(it);
            } else {
                ++it;
            }
        }
    }
    // Each has left its animation; joining waits for the rest of its thread's way out.
    ended.clear();
}

// The painter

TGIFPainter::TGIFPainter(TGIFImage& image, TCanvas& canvas, const TRect& rect, uint16_t options,
                         TGIFPainter** reference)
    : OnStartPaint(image.OnStartPaint),
      OnPaint(image.OnPaint),
      OnAfterPaint(image.OnAfterPaint),
      OnLoop(image.OnLoop),
      OnEndPaint(image.OnEndPaint),
      image_(image),
      list_(image.Painters()),
      canvas_(canvas),
      rect_(rect),
      options_(options),
      reference_(reference),
      timer_(image.PaintTimer()),
      nice_(NiceValue(image.PainterPriority())),
      output_(image, canvas, rect, options),
      composer_(image.Width(), image.Height(), output_.ScreenBackground()),
      speed_(image.PlaybackSpeed()) {}

TGIFPainter::~TGIFPainter() {
    Stop();
    WaitFor();
}

void TGIFPainter::Run() {
    Execute();
    if (error_) std::rethrow_exception(error_);
}

void TGIFPainter::Stop() {
    Terminate();
    wake_.SetEvent();
    if (nice_ != 0) SetThreadNice(ThreadID(), 0);
}

void TGIFPainter::Restart() {
    restart_ = true;
    wake_.SetEvent();
}

void TGIFPainter::SetSpeed(int percent) {
    if (speed_.exchange(percent) < 1) wake_.SetEvent();
}

void TGIFPainter::Repaint() {
    if (painted_) output_.DrawPicture(composer_);
}

void TGIFPainter::OnDocumentThread(const std::function<void()>& step) {
    const auto run = [this, &step] {
        inDocumentStep_ = true;
        try {
            step();
        } catch (...) {
            inDocumentStep_ = false;
            throw;
        }
        inDocumentStep_ = false;
    };
    if (Threaded())
        Synchronize(run);
    else
        run();
}

void TGIFPainter::Fire(const TGIFPainterEvent& event) {
    if (event) event(*this);
}

void TGIFPainter::Execute() {
    if (Threaded() && nice_ != 0) SetThreadNice(CurrentThreadId(), nice_);
    try {
        OnDocumentThread([this] { Begin(); });
        do {
            if (restart_.exchange(false) && !Terminated()) wake_.ResetEvent();
            PlayPasses();
        } while (restart_ && !Terminated());
    } catch (...) {
        error_ = std::current_exception();
        Terminate();
    }
    try {
        OnDocumentThread([this] { End(); });
    } catch (...) {
        if (!error_) error_ = std::current_exception();
    }
    std::lock_guard<std::recursive_mutex> guard(list_.Lock());
    if (reference_ && *reference_ == this) *reference_ = nullptr;
    list_.Remove(this);
}

void TGIFPainter::Begin() {
    output_.SaveBackground();
    if ((options_ & poPrepareBuffers) && (options_ & poDirectDraw)) {
        TGIFImageList& frames = image_.Images();
        for (int i = 0; i < frames.Count() && !Terminated(); ++i) frames[i].Bitmap();
    }
    Fire(OnStartPaint);
}

void TGIFPainter::End() {
    activeImage_ = -1;
    Fire(OnEndPaint);
    // A threaded painter's error has nobody to be raised to: it goes to the diagnostics.
    if (!error_ || !Threaded()) return;
    try {
        std::rethrow_exception(error_);
    } catch (const std::exception& error) {
        image_.Warning(&image_, 2, error.what());
    } catch (...) {
        image_.Warning(&image_, 2, "Painting failed");
    }
}

void TGIFPainter::PlayPasses() {
    for (int passes = 0;; ++passes) {
        if (passes > 0) {
            OnDocumentThread([this] { Fire(OnLoop); });
            if (Stopping()) return;
        }
        if (!PlayPass() || !LoopsAgain(passes + 1)) return;
    }
}

bool TGIFPainter::PlayPass() {
    activeImage_ = 0;
    for (;;) {
        bool more = false;
        OnDocumentThread([this, &more] { more = !Stopping() && PrepareFrame(); });
        if (!more) return !Stopping();
        if (painted_) Wait();
        if (Stopping()) return false;
        OnDocumentThread([this] { PaintStep(); });
        if (Stopping()) return false;
    }
}

// The loop count says how often the animation repeats after its first pass; 0 (or
// poLoopForever) repeats it for ever, which only a threaded painter does: one in the caller's
// thread plays it once.
bool TGIFPainter::LoopsAgain(int passesDone) const {
    if (!(options_ & poAnimate) || !(options_ & poLoop)) return false;
    if ((options_ & poLoopForever) || loopCount_ == 0) return Threaded();
    return passesDone <= loopCount_;
}

bool TGIFPainter::PrepareFrame() {
    const int index = activeImage_;
    TGIFImageList& frames = image_.Images();
    if (index < 0 || index >= frames.Count()) return false;
    if (options_ & poDirectDraw) frames[index].Bitmap();
    return true;
}

void TGIFPainter::Wait() {
    const int milliseconds = WaitMilliseconds();
    if (milliseconds != 0) timer_.Wait(milliseconds, wake_, !Threaded());
    // Woken for a new speed: the frame's time is over.
    if (!Stopping()) wake_.ResetEvent();
}

void TGIFPainter::PaintStep() {
    if (Stopping()) return;
    if ((options_ & poValidateCanvas) && !canvas_.Valid()) {
        Terminate();
        return;
    }
    Fire(OnPaint);
    const int painting = activeImage_;
    if (Stopping() || painting < 0 || painting >= image_.Images().Count()) return;
    TGIFSubImage& frame = image_.Images()[painting];
    previousDisposal_ = disposal_;
    disposal_ = FrameDisposal(frame);
    if (const TGIFAppExtNSLoop* loop = LoopingExtension(frame)) loopCount_ = loop->Loops();
    delayUnits_ = DelayUnits(frame);
    if (painting == 0) StartOver();
    composer_.Draw(frame);
    if (options_ & poDirectDraw)
        DrawDirect(frame);
    else
        output_.DrawPicture(composer_);
    painted_ = true;
    paintedAt_ = timer_.Milliseconds();
    Fire(OnAfterPaint);
    if (activeImage_ == painting) activeImage_ = painting + 1;
}

void TGIFPainter::StartOver() {
    composer_.Reset();
    previousDisposal_ = dmNone;
    backup_.clear();
    lastArea_ = {};
    if (options_ & poDirectDraw) output_.PaintBehind(rect_);
}

// The previous frame's disposal on the target, then the frame's own bitmap where it belongs.
void TGIFPainter::DrawDirect(TGIFSubImage& frame) {
    if (previousDisposal_ == dmBackground) {
        for (const TRect& dest : output_.AreaTargets(lastArea_)) output_.PaintBehind(dest);
    } else if (previousDisposal_ == dmPrevious) {
        output_.RestoreArea(backup_, lastArea_);
    }
    backup_.clear();
    lastArea_ = FrameArea(frame);
    if (frame.Empty()) return;
    if (disposal_ == dmPrevious) backup_ = output_.CopyArea(lastArea_);
    output_.DrawArea(frame.Bitmap(), lastArea_);
}

int TGIFPainter::DelayUnits(const TGIFSubImage& frame) const {
    const TGIFGraphicControlExtension* control = frame.GraphicControlExtension();
    int units = control && control->Delay() > 0 ? control->Delay() : kPaintDefaultDelayUnits;
    units = std::max(units, kPaintMinDelayUnits);
    if (!Threaded()) units = std::min(units, kPaintMaxUnthreadedDelayUnits);
    return units;
}

// The frame's delay less half the time since it was painted, scaled by the playback speed.
int TGIFPainter::WaitMilliseconds() const {
    const int speed = speed_;
    if (speed < 1) return Threaded() ? -1 : kPaintStalledWaitMs;
    const int64_t spent = timer_.Milliseconds() - paintedAt_;
    const int64_t wait = (int64_t{delayUnits_} * kPaintDelayUnitMs - spent / 2) * 100 / speed;
    return static_cast<int>(std::clamp<int64_t>(wait, 0, INT_MAX));
}
