#include "platform/StopSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kSignalCount = sizeof kSignals / sizeof kSignals[0];

// What the handler touches: lock-free atomics, safe to use from a signal handler.
std::atomic<int> firstSignal{0};
std::atomic<int> wakeWrite{-1};
static_assert(std::atomic<int>::is_always_lock_free);

struct sigaction earlierActions[kSignalCount];

extern "C" void OnStopSignal(int signal) {
    const int savedErrno = errno;
    int none = 0;
    firstSignal.compare_exchange_strong(none, signal, std::memory_order_relaxed);
    const int fd = wakeWrite.load(std::memory_order_relaxed);
    if (fd >= 0) {
        const char byte = 1;
        // a full pipe already wakes the reader
        (void)!::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

}  // namespace

TStopSignals::TStopSignals() {
    firstSignal.store(0);
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        wakeRead_ = fds[0];
        wakeWrite.store(fds[1]);
    }
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // Reads and writes of other threads that the signal happens to land on go on.
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < kSignalCount; ++i) sigaction(kSignals[i], &action, &earlierActions[i]);
}

TStopSignals::~TStopSignals() {
    for (int i = 0; i < kSignalCount; ++i) sigaction(kSignals[i], &earlierActions[i], nullptr);
    const int write = wakeWrite.exchange(-1);
    if (write >= 0) ::close(write);
    if (wakeRead_ >= 0) ::close(wakeRead_);
}

int TStopSignals::Signal() const { return firstSignal.load(std::memory_order_relaxed); }

void TStopSignals::DrainWake() const {
    char bytes[64];
    while (wakeRead_ >= 0 && ::read(wakeRead_, bytes, sizeof bytes) > 0) {}
}
