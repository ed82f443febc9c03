#pragma once
// The stop signals (SIGINT, SIGTERM, SIGHUP: platform/StopSignals.h) in the GUI's event loop.
// The first one that arrives is handed to `onSignal` on the GUI thread, which closes the main
// window as its close button does (the conversion under way stops and its frames so far are
// saved) without waiting for the user; the program then ends with 128 + the signal.
#include <QObject>
#include <functional>

#include "platform/StopSignals.h"

class QSocketNotifier;

class TStopSignalWatch : public QObject {
public:
    explicit TStopSignalWatch(std::function<void(int signal)> onSignal);
    ~TStopSignalWatch() override;
    TStopSignalWatch(const TStopSignalWatch&) = delete;
    TStopSignalWatch& operator=(const TStopSignalWatch&) = delete;

    // The signal that arrived first, 0 when none did.
    int Signal() const { return signals_.Signal(); }
    // The program's exit status: `loopStatus` (the event loop's), or 128 + the signal.
    int ExitStatus(int loopStatus) const;

private:
    void Woken();

    TStopSignals signals_;
    QSocketNotifier* notifier_ = nullptr;
    std::function<void(int)> onSignal_;
    bool handled_ = false;
};
