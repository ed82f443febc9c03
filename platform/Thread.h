#pragma once
// Threads, events and critical sections.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

// The operating system's identifier of the calling thread (gettid()).
uint32_t CurrentThreadId();

// Names the calling thread, as debuggers, profilers and /proc/self/task/*/comm show it. The
// system keeps at most 15 bytes of a name: a longer one is cut there. Threads the calling
// thread makes afterwards start with its name.
void SetCurrentThreadName(const std::string& name);
// The calling thread's name.
std::string CurrentThreadName();

// Sleeps the calling thread.
void SleepMs(int milliseconds);

// A worker thread. Derive and override Execute, or give a function to run.
//
// The thread starts with Start(). Terminate() sets the flag Execute is to poll (Terminated()).
// WaitFor() waits for the end. With FreeOnTerminate set the object deletes itself once Execute
// and OnTerminate have run; it must then have been made with new and must not be waited for.
// OnTerminate runs on the worker thread after Execute; an exception leaving Execute is kept in
// FatalException() instead of ending the program. Destroying a running thread terminates it
// and waits for it.
class TThread {
public:
    TThread() = default;
    explicit TThread(std::function<void(TThread&)> body) : body_(std::move(body)) {}
    virtual ~TThread();
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    void Start();
    void Terminate() { terminated_ = true; }
    bool Terminated() const { return terminated_; }
    // Waits for the end of Execute and OnTerminate. Returns at once when not started.
    void WaitFor();
    bool Finished() const { return finished_; }
    bool Started() const { return started_; }

    void SetFreeOnTerminate(bool on) { freeOnTerminate_ = on; }
    bool FreeOnTerminate() const { return freeOnTerminate_; }
    std::exception_ptr FatalException() const { return fatal_; }
    // The worker's operating-system thread id (0 until it has started running).
    uint32_t ThreadID() const { return threadId_; }

    std::function<void(TThread&)> OnTerminate;

protected:
    virtual void Execute();

private:
    void Run();

    std::function<void(TThread&)> body_;
    std::thread thread_;
    std::mutex startLock_;
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    std::atomic<bool> started_{false};
    std::atomic<bool> freeOnTerminate_{false};
    std::atomic<uint32_t> threadId_{0};
    std::exception_ptr fatal_;
};

enum class TWaitResult { wrSignaled, wrTimeout };

// An event: manual reset stays signalled until ResetEvent; auto reset lets one waiter through
// and clears itself.
class TEvent {
public:
    explicit TEvent(bool manualReset = true, bool initialState = false)
        : manualReset_(manualReset), signaled_(initialState) {}
    void SetEvent();
    void ResetEvent();
    // Waits until signalled or timeoutMs pass (negative = no limit).
    TWaitResult WaitFor(int timeoutMs = -1);

private:
    std::mutex lock_;
    std::condition_variable changed_;
    const bool manualReset_;
    bool signaled_;
};

// A critical section: a lock the owning thread may take again.
class TCriticalSection {
public:
    void Enter() { lock_.lock(); }
    void Leave() { lock_.unlock(); }
    bool TryEnter() { return lock_.try_lock(); }
    // For std::lock_guard and friends.
    void lock() { Enter(); }
    void unlock() { Leave(); }

private:
    std::recursive_mutex lock_;
};
