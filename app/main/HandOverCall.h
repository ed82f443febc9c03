#pragma once
// THandOverCall: a call that takes what other threads left waiting for the GUI thread, run on
// request from any thread without the requesting thread waiting. Asked on the GUI thread it runs
// at once; asked elsewhere it runs as a queued call, one at a time: a request made while a call
// is on its way is served by that call, which takes all that waits by then.
#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <atomic>
#include <functional>
#include <utility>

class THandOverCall {
public:
    // The call runs on the thread of `context`, which outlives this object; a call on its way
    // goes with the context.
    THandOverCall(QObject& context, std::function<void()> call)
        : context_(context), call_(std::move(call)) {}
    THandOverCall(const THandOverCall&) = delete;
    THandOverCall& operator=(const THandOverCall&) = delete;

    void Request() {
        if (QThread::currentThread() == context_.thread()) {
            call_();
            return;
        }
        if (posted_.exchange(true)) return;
        QMetaObject::invokeMethod(
            &context_,
            [this] {
                posted_ = false;
                call_();
            },
            Qt::QueuedConnection);
    }

private:
    QObject& context_;
    std::function<void()> call_;
    std::atomic<bool> posted_{false};
};
