#pragma once
// How the encoder reports the end of tasks: each report is handed to a short-lived
// TTerminateEventThread, so a worker never waits for the main thread while it finishes. The
// reports are delivered one at a time in the order they were made (TTerminateNotices), so the
// end of all tasks always comes after the end of the last task has been handled.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "engine/encoder/EncoderRecords.h"
#include "platform/Thread.h"

class TCustomEncoder;

// The order of the reports on their way and the threads carrying them.
class TTerminateNotices {
public:
    // A place in the order, for a report about to be handed to a new thread.
    uint64_t Enqueue();
    // Waits until every earlier report has been delivered (or dropped).
    void WaitTurn(uint64_t ticket);
    // The same for a report the waiting thread delivers itself: on the main thread it runs
    // queued main-thread calls meanwhile, which is where earlier reports may be waiting.
    void WaitTurnPumping(uint64_t ticket);
    // The report of `ticket` is done; the next one may go.
    void Delivered(uint64_t ticket);
    // Whether reports are dropped instead of delivered (the encoder is going).
    bool Dropping() const;
    // Drops every report not yet delivered and waits until no thread carries one. On the main
    // thread it runs queued main-thread calls while it waits.
    void DropAndWait();

private:
    mutable std::mutex lock_;
    std::condition_variable changed_;
    uint64_t nextTicket_ = 0;
    uint64_t nextToDeliver_ = 0;
    int inFlight_ = 0;
    bool dropping_ = false;
};

// Delivers one end report: waits for its turn, then calls the handler with the encoder as
// sender, through the main thread when `inMainThread` is set. Starts at once and frees itself.
class TTerminateEventThread : public TThread {
public:
    static constexpr char kThreadName[] = "end-report";

    using THandler = std::function<void(TCustomEncoder*, const TTerminateInfo&)>;

    static void Deliver(TCustomEncoder* encoder, std::shared_ptr<const THandler> handler,
                        const TTerminateInfo& info, bool inMainThread, TTerminateNotices& notices);

protected:
    void Execute() override;

private:
    TTerminateEventThread(TCustomEncoder* encoder, std::shared_ptr<const THandler> handler,
                          const TTerminateInfo& info, bool inMainThread,
                          TTerminateNotices& notices);

    TCustomEncoder* const encoder_;
    std::shared_ptr<const THandler> handler_;
    const TTerminateInfo info_;
    const bool inMainThread_;
    TTerminateNotices& notices_;
    const uint64_t ticket_;
};
