#include "platform/MainThread.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

namespace {

// One queued call; the queuing thread waits on `done`.
struct TSyncRequest {
    std::function<void()> Fn;
    std::exception_ptr Error;
    bool Done = false;
};

struct TSyncQueue {
    std::mutex Lock;
    std::condition_variable Queued;    // a request was added (for WaitForSynchronize)
    std::condition_variable Finished;  // a request was run
    std::deque<std::shared_ptr<TSyncRequest>> Requests;
    std::thread::id MainThread = std::this_thread::get_id();
    std::function<void()> WakeHook;
    std::function<void()> MessagesHook;
};

TSyncQueue& Queue() {
    static TSyncQueue queue;
    return queue;
}

std::shared_ptr<TSyncRequest> TakeRequest(TSyncQueue& q) {
    std::lock_guard<std::mutex> guard(q.Lock);
    if (q.Requests.empty()) return nullptr;
    auto request = q.Requests.front();
    q.Requests.pop_front();
    return request;
}

void RunRequest(TSyncQueue& q, TSyncRequest& request) {
    try {
        request.Fn();
    } catch (...) {
        request.Error = std::current_exception();
    }
    std::lock_guard<std::mutex> guard(q.Lock);
    request.Done = true;
    q.Finished.notify_all();
}

// The queue is made while the program starts, so the thread running main() is the main thread
// even when a worker happens to use this module first.
const bool queueMadeAtStartUp = (Queue(), true);

}  // namespace

bool IsMainThread() {
    TSyncQueue& q = Queue();
    std::lock_guard<std::mutex> guard(q.Lock);
    return q.MainThread == std::this_thread::get_id();
}

void SetMainThread() {
    TSyncQueue& q = Queue();
    std::lock_guard<std::mutex> guard(q.Lock);
    q.MainThread = std::this_thread::get_id();
}

void Synchronize(const std::function<void()>& fn) {
    if (IsMainThread()) {
        fn();
        return;
    }
    TSyncQueue& q = Queue();
    auto request = std::make_shared<TSyncRequest>();
    request->Fn = fn;
    std::function<void()> wake;
    {
        std::lock_guard<std::mutex> guard(q.Lock);
        q.Requests.push_back(request);
        wake = q.WakeHook;
    }
    q.Queued.notify_all();
    if (wake) wake();
    std::unique_lock<std::mutex> lock(q.Lock);
    q.Finished.wait(lock, [&] { return request->Done; });
    lock.unlock();
    if (request->Error) std::rethrow_exception(request->Error);
}

bool CheckSynchronize() {
    if (!IsMainThread()) return false;
    TSyncQueue& q = Queue();
    bool ran = false;
    while (auto request = TakeRequest(q)) {
        RunRequest(q, *request);
        ran = true;
    }
    return ran;
}

bool WaitForSynchronize(int timeoutMs) {
    if (!IsMainThread()) return false;
    TSyncQueue& q = Queue();
    {
        std::unique_lock<std::mutex> lock(q.Lock);
        auto queued = [&] { return !q.Requests.empty(); };
        if (timeoutMs < 0)
            q.Queued.wait(lock, queued);
        else
            q.Queued.wait_for(lock, std::chrono::milliseconds(timeoutMs), queued);
    }
    return CheckSynchronize();
}

void SetWakeMainThreadHook(std::function<void()> hook) {
    TSyncQueue& q = Queue();
    std::lock_guard<std::mutex> guard(q.Lock);
    q.WakeHook = std::move(hook);
}

void SetProcessPendingMessagesHook(std::function<void()> hook) {
    TSyncQueue& q = Queue();
    std::lock_guard<std::mutex> guard(q.Lock);
    q.MessagesHook = std::move(hook);
}

void ProcessPendingMessages() {
    std::function<void()> hook;
    {
        TSyncQueue& q = Queue();
        std::lock_guard<std::mutex> guard(q.Lock);
        hook = q.MessagesHook;
    }
    if (hook) hook();
}
