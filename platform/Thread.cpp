#include "platform/Thread.h"

#include <pthread.h>
#include <unistd.h>

#include <chrono>

namespace {

// The longest thread name the system keeps, without its terminating zero.
constexpr size_t kMaxThreadName = 15;

}  // namespace

uint32_t CurrentThreadId() { return static_cast<uint32_t>(gettid()); }

void SetCurrentThreadName(const std::string& name) {
    pthread_setname_np(pthread_self(), name.substr(0, kMaxThreadName).c_str());
}

std::string CurrentThreadName() {
    char name[kMaxThreadName + 1] = {};
    if (pthread_getname_np(pthread_self(), name, sizeof(name)) != 0) return "";
    return name;
}

void SleepMs(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

TThread::~TThread() {
    // A thread still running when its object goes is asked to end and waited for.
    if (thread_.joinable()) {
        terminated_ = true;
        if (thread_.get_id() == std::this_thread::get_id())
            thread_.detach();
        else
            thread_.join();
    }
}

void TThread::Start() {
    if (started_.exchange(true)) return;
    // Run() waits for this lock, so thread_ is set before the worker can detach it.
    std::lock_guard<std::mutex> guard(startLock_);
    thread_ = std::thread([this] { Run(); });
}

void TThread::Execute() {
    if (body_) body_(*this);
}

void TThread::Run() {
    { std::lock_guard<std::mutex> guard(startLock_); }
    threadId_ = CurrentThreadId();
    try {
        Execute();
    } catch (...) {
        fatal_ = std::current_exception();
    }
    try {
        if (OnTerminate) OnTerminate(*this);
    } catch (...) {
        if (!fatal_) fatal_ = std::current_exception();
    }
    finished_ = true;
    if (freeOnTerminate_) {
        thread_.detach();
        delete this;
    }
}

void TThread::WaitFor() {
    if (!thread_.joinable() || thread_.get_id() == std::this_thread::get_id()) return;
    thread_.join();
}

void TEvent::SetEvent() {
    std::lock_guard<std::mutex> guard(lock_);
    signaled_ = true;
    if (manualReset_)
        changed_.notify_all();
    else
        changed_.notify_one();
}

void TEvent::ResetEvent() {
    std::lock_guard<std::mutex> guard(lock_);
    signaled_ = false;
}

TWaitResult TEvent::WaitFor(int timeoutMs) {
    std::unique_lock<std::mutex> lock(lock_);
    auto signaled = [this] { return signaled_; };
    if (timeoutMs < 0)
        changed_.wait(lock, signaled);
    else if (!changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), signaled))
        return TWaitResult::wrTimeout;
    if (!manualReset_) signaled_ = false;
    return TWaitResult::wrSignaled;
}
