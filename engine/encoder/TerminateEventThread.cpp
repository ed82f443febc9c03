#include "engine/encoder/TerminateEventThread.h"

#include <chrono>

#include "platform/MainThread.h"

namespace {

constexpr auto kPumpSlice = std::chrono::milliseconds(20);

}  // namespace

uint64_t TTerminateNotices::Enqueue() {
    std::lock_guard<std::mutex> guard(lock_);
    inFlight_++;
    return nextTicket_++;
}

void TTerminateNotices::WaitTurn(uint64_t ticket) {
    std::unique_lock<std::mutex> lock(lock_);
    changed_.wait(lock, [&] { return nextToDeliver_ == ticket; });
}

void TTerminateNotices::WaitTurnPumping(uint64_t ticket) {
    std::unique_lock<std::mutex> lock(lock_);
    while (!changed_.wait_for(lock, kPumpSlice, [&] { return nextToDeliver_ == ticket; })) {
        if (!IsMainThread()) continue;
        lock.unlock();
        CheckSynchronize();
        ProcessPendingMessages();
        lock.lock();
    }
}

void TTerminateNotices::Delivered(uint64_t ticket) {
    std::lock_guard<std::mutex> guard(lock_);
    nextToDeliver_ = ticket + 1;
    inFlight_--;
    changed_.notify_all();
}

bool TTerminateNotices::Dropping() const {
    std::lock_guard<std::mutex> guard(lock_);
    return dropping_;
}

void TTerminateNotices::DropAndWait() {
    std::unique_lock<std::mutex> lock(lock_);
    dropping_ = true;
    while (inFlight_ > 0) {
        if (changed_.wait_for(lock, kPumpSlice, [&] { return inFlight_ == 0; })) break;
        if (!IsMainThread()) continue;
        // a report may be waiting for the main thread
        lock.unlock();
        CheckSynchronize();
        ProcessPendingMessages();
        lock.lock();
    }
}

void TTerminateEventThread::Deliver(TCustomEncoder* encoder,
                                    std::shared_ptr<const THandler> handler,
                                    const TTerminateInfo& info, bool inMainThread,
                                    TTerminateNotices& notices) {
    (new TTerminateEventThread(encoder, std::move(handler), info, inMainThread, notices))->Start();
}

TTerminateEventThread::TTerminateEventThread(TCustomEncoder* encoder,
                                             std::shared_ptr<const THandler> handler,
                                             const TTerminateInfo& info, bool inMainThread,
                                             TTerminateNotices& notices)
    : encoder_(encoder),
      handler_(std::move(handler)),
      info_(info),
      inMainThread_(inMainThread),
      notices_(notices),
      ticket_(notices.Enqueue()) {
    SetFreeOnTerminate(true);
}

void TTerminateEventThread::Execute() {
    SetCurrentThreadName(kThreadName);
    notices_.WaitTurn(ticket_);
    // The report is marked delivered also when the handler raises, so later reports still go.
    struct TDone {
        TTerminateEventThread& Thread;
        ~TDone() {
            Thread.handler_.reset();
            Thread.notices_.Delivered(Thread.ticket_);
        }
    } done{*this};
    auto call = [this] {
        if (!notices_.Dropping()) (*handler_)(encoder_, info_);
    };
    if (notices_.Dropping()) return;
    if (inMainThread_)
        Synchronize(call);
    else
        call();
}
