#include "app/core/FramePipeline.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/Thread.h"

namespace {

// Cores left to the conversion's own thread.
constexpr int kConversionCores = 1;
// Beyond this many workers the decoding cannot keep them busy.
constexpr int kMaxFrameWorkers = 8;

void CopyPicture(const TBitmap& from, TBitmap& to) {
    to.SetSize(from.Width(), from.Height());
    const size_t rowBytes = static_cast<size_t>(from.Width()) * 3;
    for (int y = 0; y < from.Height(); ++y) std::memcpy(to.ScanLine(y), from.ScanLine(y), rowBytes);
}

}  // namespace

int FrameWorkerCount(int cores) {
    return std::clamp(cores - kConversionCores, 1, kMaxFrameWorkers);
}

int FilterThreadCount(int cores) {
    return std::max(1, cores - kConversionCores - FrameWorkerCount(cores));
}

int DefaultFilterThreads() {
    return FilterThreadCount(static_cast<int>(std::thread::hardware_concurrency()));
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

void TFramePipeline::SetSteps(TFrameSteps* steps) {
    std::lock_guard<std::mutex> guard(lock_);
    steps_ = steps;
    firstOfSteps_ = submitted_;
}

TStepFrame& TFramePipeline::NextFrame() { return SlotOf(submitted_).Frame; }

void TFramePipeline::Submit() {
    const long long sequence = submitted_;
    TSlot& slot = SlotOf(sequence);
    slot.Steps = steps_;
    TStepFrame& frame = slot.Frame;
    // The picture before is still in its slot: slots are reused only after every other slot.
    if (steps_ && steps_->UsesPreviousPicture() && sequence > firstOfSteps_)
        CopyPicture(SlotOf(sequence - 1).Frame.Picture, frame.Previous);
    else
        frame.Previous.SetSize(0, 0);
    if (workers_ == 0) {
        {
            std::lock_guard<std::mutex> guard(lock_);
            ++submitted_;
            ++picked_;
        }
        Make(sequence, callerSteps_);
        return;
    }
    {
        std::lock_guard<std::mutex> guard(lock_);
        ++submitted_;
    }
    workWaiting_.notify_one();
}

TPipelineResult TFramePipeline::TakeOldest() {
    std::unique_lock<std::mutex> lock(lock_);
    if (taken_ == submitted_) return {};
    TSlot& slot = SlotOf(taken_);
    // Rather than wait for the workers, the caller makes frames no worker has picked yet.
    while (!slot.Made && picked_ < submitted_) MakeOnCallersThread(lock);
    frameMade_.wait(lock, [&slot] { return slot.Made; });
    TPipelineResult result;
    result.Taken = true;
    result.Frame = std::move(slot.Frame.Frame);
    result.BeginsGlobalTable = slot.Frame.BeginsGlobalTable;
    const std::exception_ptr error = std::exchange(slot.Error, nullptr);
    slot.Made = false;
    ++taken_;
    lock.unlock();
    if (error) std::rethrow_exception(error);
    return result;
}

void TFramePipeline::Discard() {
    std::unique_lock<std::mutex> lock(lock_);
    // Frames no worker has picked are dropped at once; those being made are waited for.
    submitted_ = picked_;
    for (; taken_ < submitted_; ++taken_) {
        TSlot& slot = SlotOf(taken_);
        frameMade_.wait(lock, [&slot] { return slot.Made; });
        slot.Frame.Frame.reset();
        slot.Frame.Unoptimized.reset();
        slot.Error = nullptr;
        slot.Made = false;
    }
    firstOfSteps_ = submitted_;
}

void TFramePipeline::MakeOnCallersThread(std::unique_lock<std::mutex>& lock) {
    const long long sequence = picked_++;
    lock.unlock();
    Make(sequence, callerSteps_);
    lock.lock();
}

void TFramePipeline::StartWorkers() {
    threads_.reserve(static_cast<size_t>(workers_));
    for (int i = 0; i < workers_; ++i) threads_.emplace_back([this] { Work(); });
}

void TFramePipeline::Work() {
    SetCurrentThreadName("frame-worker");
    TThreadSteps mine;
    std::unique_lock<std::mutex> lock(lock_);
    for (;;) {
        workWaiting_.wait(lock, [this] { return stopping_ || picked_ < submitted_; });
        if (stopping_) return;
        const long long sequence = picked_++;
        lock.unlock();
        Make(sequence, mine);
        lock.lock();
    }
}

void TFramePipeline::WaitForRemapTurn(long long sequence) {
    std::unique_lock<std::mutex> lock(lock_);
    remapTurn_.wait(lock, [this, sequence] { return remapped_ == sequence; });
}

void TFramePipeline::EndRemapTurn() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        ++remapped_;
    }
    remapTurn_.notify_all();
}

// A failed step still takes its Remap turn, so that the frames after it are not held up.
void TFramePipeline::Make(long long sequence, TThreadSteps& mine) {
    TSlot& slot = SlotOf(sequence);
    TFrameSteps* steps = slot.Steps;
    std::exception_ptr error;
    try {
        if (mine.For != steps) {
            mine.State = steps->NewThread();
            mine.For = steps;
        }
        steps->Quantize(slot.Frame, *mine.State);
    } catch (...) {
        error = std::current_exception();
    }
    WaitForRemapTurn(sequence);
    if (!error) {
        try {
            steps->Remap(slot.Frame);
        } catch (...) {
            error = std::current_exception();
        }
    }
    EndRemapTurn();
    if (!error) {
        try {
            steps->Compress(slot.Frame, *mine.State);
        } catch (...) {
            error = std::current_exception();
        }
    }
    {
        std::lock_guard<std::mutex> guard(lock_);
        slot.Error = error;
        slot.Made = true;
    }
    frameMade_.notify_all();
}
