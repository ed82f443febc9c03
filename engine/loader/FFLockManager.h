#pragma once
// The engine's lock manager: mutexes handed out through handle slots, used to serialise codec
// opening and closing across the engine's threads.
//
// Around avcodec_open2 and avcodec_free_context / avcodec_close, hold a TCodecLock:
//
//     {
//         TCodecLock codecLock;
//         ret = libav::avcodec_open2(ctx, codec, &opts);
//     }
//
// The codec lock exists while libavcodec is bound (the loader registers it); it may be taken
// again by the thread that holds it.

// Operations of LockManager.
enum TLockOp { lockCreate = 0, lockObtain = 1, lockRelease = 2, lockDestroy = 3 };

// Creates, obtains, releases or destroys the mutex behind a handle slot (a void* that starts
// null). Returns 0 on success, -1 on failure; failures are written to the engine log.
// While the engine shuts down it does nothing and returns 0.
int LockManager(void** slot, int op);

// Holds the codec lock for its lifetime.
class TCodecLock {
public:
    TCodecLock();
    ~TCodecLock();
    TCodecLock(const TCodecLock&) = delete;
    TCodecLock& operator=(const TCodecLock&) = delete;

private:
    bool obtained_;
};

// Called by the loader when libavcodec is bound / before it is unbound.
void RegisterLockManager();
void UnregisterLockManager();
// Engine shutdown: from now on LockManager does nothing; then frees every mutex left.
void SetLockManagerFinalising(bool on);
void FreeLockRegistry();
