#include "cli/InterruptWatch.h"

#include <csignal>

namespace {

// The one thing the handler touches: a lock-free atomic, safe to store from a signal handler.
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

struct sigaction earlierAction;

extern "C" void OnInterrupt(int) { interrupted.store(true, std::memory_order_relaxed); }

}  // namespace

TInterruptWatch::TInterruptWatch() {
    interrupted.store(false);
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // Reads and writes of other threads that the signal happens to land on go on.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &earlierAction);
}

TInterruptWatch::~TInterruptWatch() { sigaction(SIGINT, &earlierAction, nullptr); }

bool TInterruptWatch::Raised() const { return interrupted.load(std::memory_order_relaxed); }
