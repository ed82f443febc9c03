#include "app/core/QuietThreads.h"

#include "platform/Thread.h"

TQuietThreads::TScope::TScope(TQuietThreads* threads)
    : threads_(threads), threadId_(CurrentThreadId()) {
    if (!threads_) return;
    std::lock_guard<std::mutex> guard(threads_->lock_);
    threads_->threads_.insert(threadId_);
}

TQuietThreads::TScope::~TScope() {
    if (!threads_) return;
    std::lock_guard<std::mutex> guard(threads_->lock_);
    threads_->threads_.erase(threads_->threads_.find(threadId_));
}

bool TQuietThreads::Contains(uint32_t threadId) const {
    std::lock_guard<std::mutex> guard(lock_);
    return threads_.count(threadId) > 0;
}
