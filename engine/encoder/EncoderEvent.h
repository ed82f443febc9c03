#pragma once
// TEventSlot: an event of a component whose handler the application may set or clear while
// workers raise it. Assigning swaps the handler under a small lock; raising takes a counted
// reference to the handler in effect, so a handler being replaced finishes its call.
//
//     encoder.OnProgress = [&](TCustomEncoder*, PProgressInfo info) { ... };
//     if (auto handler = OnProgress.Get()) (*handler)(this, &info);
#include <cstddef>
#include <memory>
#include <mutex>
#include <utility>

template <class Fn>
class TEventSlot {
public:
    TEventSlot() = default;
    TEventSlot(const TEventSlot&) = delete;
    TEventSlot& operator=(const TEventSlot&) = delete;

    TEventSlot& operator=(Fn handler) {
        std::shared_ptr<const Fn> next;
        if (handler) next = std::make_shared<const Fn>(std::move(handler));
        std::lock_guard<std::mutex> guard(lock_);
        handler_.swap(next);
        return *this;
    }
    TEventSlot& operator=(std::nullptr_t) { return *this = Fn(); }

    // The handler in effect, null when unassigned.
    std::shared_ptr<const Fn> Get() const {
        std::lock_guard<std::mutex> guard(lock_);
        return handler_;
    }
    explicit operator bool() const { return Get() != nullptr; }

private:
    mutable std::mutex lock_;
    std::shared_ptr<const Fn> handler_;
};
