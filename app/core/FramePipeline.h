#pragma once
// TFramePipeline: converted frames become GIF frames (colour reduction and LZW coding) on a
// small pool of worker threads while the conversion's own thread goes on decoding. A fixed set
// of slots bounds the memory: a slot holds one frame, from the copy of its pixels until its
// GIF frame is taken. When every slot is taken, the thread that hands frames in makes the frames
// no worker has picked yet rather than wait. Frames come out in the order they went in.
//
// One thread hands frames in and takes them out; the workers are the pipeline's own.
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "gif/codec/GIFEncoderCache.h"
#include "gif/core/GIFTypes.h"
#include "gif/model/GIFSubImage.h"
#include "platform/Bitmap.h"
#include "platform/ThreadPriority.h"

// How a frame is made: reduced with the document's settings, then coded as the document saves.
struct TFrameMaking {
    TGIFImportSettings Import;
    TGIFEncoding Encoding;
};

// Workers that make frames on a machine of `cores` processors: one core stays with the
// conversion's thread (reading, decoding, scaling, and making frames whenever the workers are
// behind), the others make frames, at least one.
int FrameWorkerCount(int cores);
// FrameWorkerCount of this machine.
int DefaultFrameWorkers();

// The priority of a conversion whose frames go to a pipeline. Its thread, and with it the
// decoder's threads, which it starts, run below the pipeline's workers (started beforehand by a
// thread of normal priority): decoding then never takes turns with workers that are behind, and
// still has the cores whenever they wait for frames.
constexpr TThreadPriority kPipelinedConversionPriority = tpLower;

class TFramePipeline {
public:
    // Frames that can wait for a worker beyond those being made.
    static constexpr int kQueuedFrames = 4;

    // `workers` threads, started at once by the constructing thread and so at its priority; with
    // 0, Submit makes each frame at once on the caller's thread.
    explicit TFramePipeline(int workers);
    // Drops the frames not taken and ends the workers.
    ~TFramePipeline();
    TFramePipeline(const TFramePipeline&) = delete;
    TFramePipeline& operator=(const TFramePipeline&) = delete;

    int Workers() const { return workers_; }
    int Slots() const { return static_cast<int>(slots_.size()); }
    // Frames handed in and not taken yet.
    int InFlight() const;
    // Every slot holds a frame that has not been taken.
    bool Full() const { return InFlight() == Slots(); }
    // The oldest frame not taken has been made (or has failed).
    bool OldestMade() const;

    // The bitmap of the next frame, to be filled before Submit. Not while Full().
    TBitmap& NextBitmap();
    // Hands the filled bitmap in, to be made into a frame.
    void Submit(const TFrameMaking& making);
    // The oldest frame not taken, once it is made (making frames no worker has picked, then
    // waiting for it); null when none is in flight. A frame that could not be made raises its
    // error here instead.
    std::unique_ptr<TGIFSubImage> TakeOldest();
    // Waits for the frames being made and drops every frame not taken.
    void Discard();

private:
    struct TSlot {
        TBitmap Bitmap{0, 0, pf24bit};
        TFrameMaking Making{};
        bool Made = false;
        std::unique_ptr<TGIFSubImage> Frame;
        std::exception_ptr Error;
    };

    // Picks the oldest frame no worker has picked and makes it; `lock`, held on entry and on
    // return, is let go while the frame is made.
    void MakeOnCallersThread(std::unique_lock<std::mutex>& lock);
    void StartWorkers();
    void Work();
    static void Make(TSlot& slot, TGIFEncoderCache& encoders);
    TSlot& SlotOf(long long sequence) { return slots_[sequence % slots_.size()]; }

    const int workers_;
    std::vector<TSlot> slots_;
    // Frames counted from the first: handed in, picked by a worker or the caller, taken out.
    long long submitted_ = 0;
    long long picked_ = 0;
    long long taken_ = 0;
    bool stopping_ = false;
    mutable std::mutex lock_;
    std::condition_variable workWaiting_;
    std::condition_variable frameMade_;
    std::vector<std::thread> threads_;
    // The encoders of frames made on the caller's thread; each worker has its own.
    TGIFEncoderCache callerEncoders_;
};
