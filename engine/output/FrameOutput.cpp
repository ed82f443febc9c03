#include "engine/output/FrameOutput.h"

#include <atomic>
#include <mutex>
#include <unordered_map>

namespace {

// The live adapters by identity. Identities count up from 1 so that a number from a destroyed
// adapter never names a new one.
class TAdapterRegistry {
public:
    int64_t Add(TFrameOutputAdapter* adapter) {
        std::lock_guard<std::mutex> guard(mutex_);
        const int64_t identity = ++lastIdentity_;
        adapters_.emplace(identity, adapter);
        return identity;
    }
    void Remove(int64_t identity) {
        std::lock_guard<std::mutex> guard(mutex_);
        adapters_.erase(identity);
    }
    TFrameOutputAdapter* Find(int64_t identity) {
        std::lock_guard<std::mutex> guard(mutex_);
        auto found = adapters_.find(identity);
        return found == adapters_.end() ? nullptr : found->second;
    }

private:
    std::mutex mutex_;
    int64_t lastIdentity_ = 0;
    std::unordered_map<int64_t, TFrameOutputAdapter*> adapters_;
};

TAdapterRegistry& Registry() {
    static TAdapterRegistry registry;
    return registry;
}

}  // namespace

TFrameOutputAdapter::TFrameOutputAdapter() : identity_(Registry().Add(this)) {}

TFrameOutputAdapter::~TFrameOutputAdapter() {
    OnWriteHeader = nullptr;
    OnWriteFrame = nullptr;
    OnWriteClose = nullptr;
    Registry().Remove(identity_);
}

TFrameOutputAdapter* TFrameOutputAdapter::Find(int64_t identity) {
    return Registry().Find(identity);
}
