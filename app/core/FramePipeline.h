#pragma once
// TFramePipeline: converted pictures become GIF frames on a small pool of worker threads while
// the conversion's own thread goes on decoding. Each frame goes through the three steps of a
// TFrameSteps: Quantize and Compress run on any thread, several frames at once; Remap runs one
// frame at a time in frame order (a thread that reaches it early waits for the frame before).
// A fixed set of slots bounds the memory: a slot holds one frame, from the copy of its picture
// until its GIF frame is taken. When every slot is taken, the thread that hands frames in makes
// the frames no worker has picked yet rather than wait. Frames come out in the order they went
// in.
//
// One thread hands frames in and takes them out; the workers are the pipeline's own.
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "gif/model/GIFSubImage.h"
#include "gif/optimise/FrameSteps.h"
#include "gif/optimise/StepFrame.h"
#include "platform/Bitmap.h"
#include "platform/ThreadPriority.h"

// Workers that make frames on a machine of `cores` processors: one core stays with the
// conversion's thread (reading, decoding, scaling, and making frames whenever the workers are
// behind), the others make frames, at least one.
int FrameWorkerCount(int cores);
// FrameWorkerCount of this machine.
int DefaultFrameWorkers();
// Slice threads for a pipelined conversion's filters (the scaler): the cores that neither the
// conversion's thread nor the frame workers keep busy, at least one (the filters then run on
// the conversion's thread). Slices on cores the pipeline has taken only add hand-offs.
int FilterThreadCount(int cores);
// FilterThreadCount of this machine.
int DefaultFilterThreads();

// The priority of a conversion whose frames go to a pipeline. Its thread, and with it the
// decoder's threads, which it starts, run below the pipeline's workers (started beforehand by a
// thread of normal priority): decoding then never takes turns with workers that are behind, and
// still has the cores whenever they wait for frames.
constexpr TThreadPriority kPipelinedConversionPriority = tpLower;

// A frame as it leaves the pipeline.
struct TPipelineResult {
    // False when no frame was in flight.
    bool Taken = false;
    // The GIF frame; null when it adds nothing to the frame before.
    std::unique_ptr<TGIFSubImage> Frame;
    // The document's global colour table is to become the steps' GlobalTable() before the
    // frame is written.
    bool BeginsGlobalTable = false;
};

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

    // The steps of the frames handed in from now on (not owned; they must outlive the frames).
    // Only while no frame is in flight; the next frame is then the first of its output.
    void SetSteps(TFrameSteps* steps);

    // The next frame, its picture to be filled before Submit. Not while Full().
    TStepFrame& NextFrame();
    // Hands the filled picture in, to be made into a frame.
    void Submit();
    // The oldest frame not taken, once it is made (making frames no worker has picked, then
    // waiting for it). A frame that could not be made raises its error here instead.
    TPipelineResult TakeOldest();
    // Waits for the frames being made and drops every frame not taken.
    void Discard();

private:
    struct TSlot {
        TStepFrame Frame;
        TFrameSteps* Steps = nullptr;
        bool Made = false;
        std::exception_ptr Error;
    };
    // What one thread keeps for the steps it last worked with.
    struct TThreadSteps {
        const TFrameSteps* For = nullptr;
        std::unique_ptr<TFrameStepsThread> State;
    };

    // Picks the oldest frame no worker has picked and makes it; `lock`, held on entry and on
    // return, is let go while the frame is made.
    void MakeOnCallersThread(std::unique_lock<std::mutex>& lock);
    void StartWorkers();
    void Work();
    // Makes frame `sequence` in its slot: the steps, Remap in its turn. Called without the lock.
    void Make(long long sequence, TThreadSteps& mine);
    void WaitForRemapTurn(long long sequence);
    void EndRemapTurn();
    TSlot& SlotOf(long long sequence) { return slots_[sequence % slots_.size()]; }

    const int workers_;
    std::vector<TSlot> slots_;
    TFrameSteps* steps_ = nullptr;
    // Frames counted from the first: handed in, picked by a worker or the caller, remapped,
    // taken out.
    long long submitted_ = 0;
    long long picked_ = 0;
    long long remapped_ = 0;
    long long taken_ = 0;
    // The first frame of the current steps: frames before it are another output's.
    long long firstOfSteps_ = 0;
    bool stopping_ = false;
    mutable std::mutex lock_;
    std::condition_variable workWaiting_;
    std::condition_variable frameMade_;
    std::condition_variable remapTurn_;
    std::vector<std::thread> threads_;
    // The steps' state of frames made on the caller's thread; each worker has its own.
    TThreadSteps callerSteps_;
};
