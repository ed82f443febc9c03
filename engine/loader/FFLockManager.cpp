#include "engine/loader/FFLockManager.h"

#include <condition_variable>
#include <exception>
#include <list>
#include <memory>
#include <mutex>
#include <new>
#include <string>

#include "engine/log/FFLog.h"
#include "platform/Exception.h"
#include "platform/Thread.h"

namespace {

// A mutex the owning thread may take again; releasing it from another thread is refused.
class TLockMutex {
public:
    explicit TLockMutex(int id) : Id(id) {}
    void Obtain() {
        const uint32_t me = CurrentThreadId();
        std::unique_lock<std::mutex> lock(lock_);
        released_.wait(lock, [&] { return owner_ == 0 || owner_ == me; });
        owner_ = me;
        ++depth_;
    }
    bool Release() {
        std::lock_guard<std::mutex> guard(lock_);
        if (owner_ != CurrentThreadId() || depth_ == 0) return false;
        if (--depth_ == 0) {
            owner_ = 0;
            released_.notify_one();
        }
        return true;
    }
    const int Id;

private:
    std::mutex lock_;
    std::condition_variable released_;
    uint32_t owner_ = 0;
    int depth_ = 0;
};

// The handle a slot receives: a link back to the slot and the mutex, once created.
struct TLockNode {
    void** Slot;
    std::unique_ptr<TLockMutex> Mutex;
};

struct TLockRegistry {
    TCriticalSection Lock;
    std::list<TLockNode> Nodes;  // newest first
    bool Finalising = false;
    int NextId = 1;
};

TLockRegistry& Registry() {
    static TLockRegistry* registry = new TLockRegistry;
    return *registry;
}

void* codecLockSlot = nullptr;

void LogError(const std::string& text) { FFLogger().Log(nullptr, llError, text); }

TLockNode& NodeOfSlot(TLockRegistry& registry, void** slot) {
    std::lock_guard<TCriticalSection> guard(registry.Lock);
    if (!*slot) {
        registry.Nodes.push_front(TLockNode{slot, nullptr});
        *slot = &registry.Nodes.front();
    }
    auto* node = static_cast<TLockNode*>(*slot);
    if (node->Slot != slot) throw Exception("Assertion failure");
    return *node;
}

int CreateMutex(TLockRegistry& registry, TLockNode& node) {
    if (node.Mutex) {
        FFLogger().Log(nullptr, llError, "[lock manager] error, mutex [%d] already exist.",
                       node.Mutex->Id);
        return -1;
    }
    try {
        int id;
        {
            std::lock_guard<TCriticalSection> guard(registry.Lock);
            id = registry.NextId++;
        }
        node.Mutex = std::make_unique<TLockMutex>(id);
    } catch (const std::exception& e) {
        FFLogger().Log(nullptr, llError, "[lock manager] error, failed to create mutex: %s.",
                       e.what());
        return -1;
    }
    FFLogger().Log(nullptr, llDebug, "[lock manager] mutex [%d] created.", node.Mutex->Id);
    return 0;
}

int ObtainMutex(TLockNode& node) {
    if (!node.Mutex) {
        LogError("[lock manager] error, mutex not available.");
        return -1;
    }
    try {
        node.Mutex->Obtain();
    } catch (const std::exception& e) {
        FFLogger().Log(nullptr, llError, "[lock manager] error, could not wait on mutex [%d]: %s.",
                       node.Mutex->Id, e.what());
        return -1;
    }
    FFLogger().Log(nullptr, llDebug, "[lock manager] mutex [%d] obtained.", node.Mutex->Id);
    return 0;
}

int ReleaseMutex(TLockNode& node) {
    if (!node.Mutex) {
        LogError("[lock manager] error, mutex not available.");
        return -1;
    }
    if (!node.Mutex->Release()) {
        FFLogger().Log(nullptr, llError, "[lock manager] error, could not release mutex [%d]: %s.",
                       node.Mutex->Id, "the calling thread does not own it");
        return -1;
    }
    FFLogger().Log(nullptr, llDebug, "[lock manager] mutex [%d] release.", node.Mutex->Id);
    return 0;
}

int DestroyMutex(TLockRegistry& registry, void** slot, TLockNode& node) {
    int result = 0;
    if (node.Mutex)
        FFLogger().Log(nullptr, llDebug, "[lock manager] mutex [%d] destroyed.", node.Mutex->Id);
    else {
        LogError("[lock manager] error, mutex not available.");
        result = -1;
    }
    std::lock_guard<TCriticalSection> guard(registry.Lock);
    registry.Nodes.remove_if([&](const TLockNode& n) { return &n == &node; });
    *slot = nullptr;
    return result;
}

}  // namespace

int LockManager(void** slot, int op) {
    TLockRegistry& registry = Registry();
    {
        std::lock_guard<TCriticalSection> guard(registry.Lock);
        if (registry.Finalising) return 0;
    }
    TLockNode& node = NodeOfSlot(registry, slot);
    switch (op) {
        case lockCreate:
            return CreateMutex(registry, node);
        case lockObtain:
            return ObtainMutex(node);
        case lockRelease:
            return ReleaseMutex(node);
        case lockDestroy:
            return DestroyMutex(registry, slot, node);
        default:
            FFLogger().Log(nullptr, llError, "[lock manager] error, invalid mutex operation %d.",
                           op);
            return -1;
    }
}

TCodecLock::TCodecLock() : obtained_(LockManager(&codecLockSlot, lockObtain) == 0) {}

TCodecLock::~TCodecLock() {
    if (obtained_) LockManager(&codecLockSlot, lockRelease);
}

void RegisterLockManager() { LockManager(&codecLockSlot, lockCreate); }

void UnregisterLockManager() {
    if (codecLockSlot) LockManager(&codecLockSlot, lockDestroy);
}

void SetLockManagerFinalising(bool on) {
    TLockRegistry& registry = Registry();
    std::lock_guard<TCriticalSection> guard(registry.Lock);
    registry.Finalising = on;
}

void FreeLockRegistry() {
    TLockRegistry& registry = Registry();
    std::lock_guard<TCriticalSection> guard(registry.Lock);
    for (TLockNode& node : registry.Nodes) *node.Slot = nullptr;
    registry.Nodes.clear();
}
