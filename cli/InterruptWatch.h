#pragma once
// Ctrl-C (SIGINT) while clipgif-cli runs. The signal handler only sets a flag; the main thread
// looks at it while it waits for a conversion and stops the conversion as the Stop button does,
// so no engine code ever runs inside the handler.
#include <atomic>

class TInterruptWatch {
public:
    // The exit status of a program stopped by SIGINT (128 + 2).
    static constexpr int kInterruptedStatus = 130;

    // Installs the handler (restarting interrupted system calls); one watch at a time.
    TInterruptWatch();
    // Puts the earlier handling back.
    ~TInterruptWatch();
    TInterruptWatch(const TInterruptWatch&) = delete;
    TInterruptWatch& operator=(const TInterruptWatch&) = delete;

    // Whether SIGINT arrived since the watch was made.
    bool Raised() const;
};
