#include "app/core/FramePipeline.h"

#include <algorithm>
#include <utility>

namespace {

// Cores left to the conversion's own thread.
constexpr int kConversionCores = 1;
// Beyond this many workers the decoding cannot keep them busy.
constexpr int kMaxFrameWorkers = 8;

}  // namespace

int FrameWorkerCount(int cores) {
    return std::clamp(cores - kConversionCores, 1, kMaxFrameWorkers);
}

int DefaultFrameWorkers() {
    return FrameWorkerCount(static_cast<int>(std::thread::hardware_concurrency()));
}

TFramePipeline::TFramePipeline(int workers)
    : workers_(std::max(workers, 0)), slots_(static_cast<size_t>(workers_ + kQueuedFrames)) {
    StartWorkers();
}

TFramePipeline::~TFramePipeline() {
    Discard();
    {
        std::lock_guard<std::mutex> guard(lock_);
        stopping_ = true;
    }
    workWaiting_.notify_all();
    for (std::thread& thread : threads_) thread.join();
}

int TFramePipeline::InFlight() const {
    std::lock_guard<std::mutex> guard(lock_);
    return static_cast<int>(submitted_ - taken_);
}

bool TFramePipeline::OldestMade() const {
    std::lock_guard<std::mutex> guard(lock_);
    return taken_ < submitted_ && slots_[taken_ % slots_.size()].Made;
}

TBitmap& TFramePipeline::NextBitmap() { return SlotOf(submitted_).Bitmap; }

void TFramePipeline::Submit(const TFrameMaking& making) {
    TSlot& slot = SlotOf(submitted_);
    slot.Making = making;
    if (workers_ == 0) {
        Make(slot, callerEncoders_);
        std::lock_guard<std::mutex> guard(lock_);
        slot.Made = true;
        ++submitted_;
        ++picked_;
        return;
    }
    {
        std::lock_guard<std::mutex> guard(lock_);
        ++submitted_;
    }
    workWaiting_.notify_one();
}

std::unique_ptr<TGIFSubImage> TFramePipeline::TakeOldest() {
    std::unique_lock<std::mutex> lock(lock_);
    if (taken_ == submitted_) return nullptr;
    TSlot& slot = SlotOf(taken_);
    // Rather than wait for the workers, the caller makes frames no worker has picked yet.
    while (!slot.Made && picked_ < submitted_) MakeOnCallersThread(lock);
    frameMade_.wait(lock, [&slot] { return slot.Made; });
    std::unique_ptr<TGIFSubImage> frame = std::move(slot.Frame);
    const std::exception_ptr error = std::exchange(slot.Error, nullptr);
    slot.Made = false;
    ++taken_;
    lock.unlock();
    if (error) std::rethrow_exception(error);
    return frame;
}

void TFramePipeline::Discard() {
    std::unique_lock<std::mutex> lock(lock_);
    // Frames no worker has picked are dropped at once; those being made are waited for.
    submitted_ = picked_;
    for (; taken_ < submitted_; ++taken_) {
        TSlot& slot = SlotOf(taken_);
        frameMade_.wait(lock, [&slot] { return slot.Made; });
        slot.Frame.reset();
        slot.Error = nullptr;
        slot.Made = false;
    }
}

void TFramePipeline::MakeOnCallersThread(std::unique_lock<std::mutex>& lock) {
    TSlot& slot = SlotOf(picked_++);
    lock.unlock();
    Make(slot, callerEncoders_);
    lock.lock();
    slot.Made = true;
}

void TFramePipeline::StartWorkers() {
    threads_.reserve(static_cast<size_t>(workers_));
    for (int i = 0; i < workers_; ++i) threads_.emplace_back([this] { Work(); });
}

void TFramePipeline::Work() {
    TGIFEncoderCache encoders;
    std::unique_lock<std::mutex> lock(lock_);
    for (;;) {
        workWaiting_.wait(lock, [this] { return stopping_ || picked_ < submitted_; });
        if (stopping_) return;
        TSlot& slot = SlotOf(picked_++);
        lock.unlock();
        Make(slot, encoders);
        lock.lock();
        slot.Made = true;
        frameMade_.notify_all();
    }
}

void TFramePipeline::Make(TSlot& slot, TGIFEncoderCache& encoders) {
    try {
        auto frame = std::make_unique<TGIFSubImage>(nullptr);
        frame->ImportBitmap(slot.Bitmap, slot.Making.Import);
        frame->CodeImage(slot.Making.Encoding, encoders);
        slot.Frame = std::move(frame);
    } catch (...) {
        slot.Error = std::current_exception();
    }
}
