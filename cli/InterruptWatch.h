#pragma once
// Ctrl-C (SIGINT), SIGTERM and SIGHUP (the terminal closing) while clipgif-cli runs. The
// signal handler only records the signal; the main thread looks at it while it waits for a
// conversion and stops the conversion as the Stop button does, so no engine code ever runs
// inside the handler.
#include "platform/StopSignals.h"

class TInterruptWatch {
public:
    // Installs the handlers; one watch at a time. The destructor puts the earlier ones back.
    TInterruptWatch() = default;
    TInterruptWatch(const TInterruptWatch&) = delete;
    TInterruptWatch& operator=(const TInterruptWatch&) = delete;

    // Whether one of the signals arrived since the watch was made.
    bool Raised() const { return signals_.Signal() != 0; }
    // The exit status of a program stopped by the signal that arrived first (128 + its number:
    // 130 for Ctrl-C).
    int ExitStatus() const { return TStopSignals::ExitStatus(signals_.Signal()); }

private:
    TStopSignals signals_;
};
