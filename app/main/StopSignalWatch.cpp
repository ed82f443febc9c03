#include "app/main/StopSignalWatch.h"

#include <QSocketNotifier>

TStopSignalWatch::TStopSignalWatch(std::function<void(int signal)> onSignal)
    : onSignal_(std::move(onSignal)) {
    if (signals_.WakeDescriptor() < 0) return;
    notifier_ = new QSocketNotifier(signals_.WakeDescriptor(), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { Woken(); });
}

TStopSignalWatch::~TStopSignalWatch() = default;

int TStopSignalWatch::ExitStatus(int loopStatus) const {
    return Signal() != 0 ? TStopSignals::ExitStatus(Signal()) : loopStatus;
}

// Once only: a second signal while the window closes changes nothing.
void TStopSignalWatch::Woken() {
    signals_.DrainWake();
    if (handled_ || Signal() == 0) return;
    handled_ = true;
    if (onSignal_) onSignal_(Signal());
}
