#pragma once
// Frame hook modules: shared libraries named by -vhook whose routines see every decoded video
// frame of a task. A module exports
//   int  Configure(void** context, int argc, char* argv[]);   optional, 0 = accepted
//   void Process(void* context, TPicture* picture, int pixelFormat, int width, int height,
//                int64_t timestamp);                          required
//   void Release(void* context);                              optional
// Modules are loaded once per process and never unloaded; each task keeps its own list of
// configured entries.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/Picture.h"

extern "C" {
typedef int (*TFrameHookConfigure)(void** context, int argc, char* argv[]);
typedef void (*TFrameHookProcess)(void* context, TPicture* picture, int pixelFormat, int width,
                                  int height, int64_t timestamp);
typedef void (*TFrameHookRelease)(void* context);
}

// One module added to a task, with the arguments it was configured with (kept for the entry's
// life, as a module may hold on to them).
struct TFrameHookEntry {
    TFrameHookConfigure Configure = nullptr;
    TFrameHookProcess Process = nullptr;
    TFrameHookRelease Release = nullptr;
    void* Context = nullptr;
    std::vector<std::string> Arguments;
    std::vector<char*> ArgumentPointers;
};

// A task's hooks in the order they were added. Destroying the list releases what is left.
class TFrameHookList {
public:
    TFrameHookList() = default;
    ~TFrameHookList();
    TFrameHookList(const TFrameHookList&) = delete;
    TFrameHookList& operator=(const TFrameHookList&) = delete;

    bool Empty() const { return entries_.empty(); }
    size_t Count() const { return entries_.size(); }

private:
    friend int AddFrameHook(TFrameHookList&, const std::vector<std::string>&);
    friend void ProcessFrameHooks(TFrameHookList&, TPicture*, int, int, int, int64_t);
    friend void ReleaseFrameHooks(TFrameHookList&);

    std::vector<std::unique_ptr<TFrameHookEntry>> entries_;
};

// Adds the module named by arguments[0], configured with all the arguments. Returns 0,
// kErrorNotFound (no arguments, or a required routine missing), kErrorOutOfMemory,
// kErrorInvalidArgument (Configure refused) or kErrorOther (the module does not load), the
// codes of engine/core/ErrorCodes.h. Failures are reported to the library log.
int AddFrameHook(TFrameHookList& list, const std::vector<std::string>& arguments);

// Runs every hook's Process on the picture, in list order.
void ProcessFrameHooks(TFrameHookList& list, TPicture* picture, int pixelFormat, int width,
                       int height, int64_t timestamp);

// Releases every hook's context and empties the list.
void ReleaseFrameHooks(TFrameHookList& list);
