#pragma once
// The signals that ask a program to stop (SIGINT from Ctrl-C, SIGTERM, SIGHUP when the terminal
// closes) while a front end runs. The handler only records the first signal and writes a byte
// to a pipe; the program looks at Signal() or watches WakeDescriptor() in its event loop, and
// stops its work as the user's Stop does, so no other code ever runs inside the handler.
#include <atomic>

class TStopSignals {
public:
    // Installs the handlers (interrupted system calls restart); one object at a time.
    TStopSignals();
    // Puts the earlier handling back.
    ~TStopSignals();
    TStopSignals(const TStopSignals&) = delete;
    TStopSignals& operator=(const TStopSignals&) = delete;

    // The first of the signals that arrived since the object was made; 0 when none did.
    int Signal() const;
    // Readable once a signal has arrived (-1 when the pipe could not be made: then only
    // Signal() tells).
    int WakeDescriptor() const { return wakeRead_; }
    // Reads what the signals wrote to the pipe, so that an event loop is woken once per signal.
    void DrainWake() const;

    // The exit status of a program stopped by `signal` (128 + the signal's number).
    static int ExitStatus(int signal) { return 128 + signal; }

private:
    int wakeRead_ = -1;
};
