#pragma once
// TQuietThreads: the threads whose engine log lines a log leaves out. The desktop program
// estimates a GIF by converting samples of its clip through the engine, on threads of their
// own; their lines (each sample opens the clip and an output) would bury the conversion's in
// its log. The log asks Contains with the id of the thread a line came from.
#include <cstdint>
#include <mutex>
#include <set>

class TQuietThreads {
public:
    // While it lives, the lines of the thread that made it are left out.
    class TScope {
    public:
        // `threads` may be null: nothing is left out then.
        explicit TScope(TQuietThreads* threads);
        ~TScope();
        TScope(const TScope&) = delete;
        TScope& operator=(const TScope&) = delete;

    private:
        TQuietThreads* threads_;
        uint32_t threadId_;
    };

    // Any thread.
    bool Contains(uint32_t threadId) const;

private:
    mutable std::mutex lock_;
    // A thread may be quiet in several scopes at once.
    std::multiset<uint32_t> threads_;
};
