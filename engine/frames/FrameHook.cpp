#include "engine/frames/FrameHook.h"

#include <map>
#include <mutex>
#include <new>

#include "engine/core/ErrorCodes.h"
#include "engine/entrypoints/avutil.h"
#include "platform/FileSystem.h"
#include "platform/Module.h"

namespace {

// Modules loaded so far, by the name they were given; loaded once, never unloaded.
class TModuleCache {
public:
    // The module's handle, loading it on first use; null when it does not load (the system's
    // reason is then in `error`).
    TModuleHandle Find(const std::string& fileName, std::string& error) {
        std::lock_guard<std::mutex> guard(mutex_);
        auto found = modules_.find(fileName);
        if (found != modules_.end()) return found->second;
        TModuleHandle handle = LoadModule(LoadName(fileName), &error);
        if (!handle) return nullptr;
        modules_.emplace(fileName, handle);
        return handle;
    }

private:
    // A name with a folder part is loaded from there; a bare name is taken from the current
    // folder when it is there, and otherwise left to the system's library search.
    static std::string LoadName(const std::string& fileName) {
        if (fileName.find(PathDelim) != std::string::npos) return fileName;
        return FileExists(fileName) ? "./" + fileName : fileName;
    }

    std::mutex mutex_;
    std::map<std::string, TModuleHandle> modules_;
};

TModuleCache& Modules() {
    static TModuleCache cache;
    return cache;
}

template <typename TRoutine>
TRoutine Bind(TModuleHandle module, const char* name) {
    return reinterpret_cast<TRoutine>(ModuleSymbol(module, name, nullptr));
}

void LogError(const std::string& text) {
    libav::av_log(nullptr, AV_LOG_ERROR, "%s\n", text.c_str());
}

std::unique_ptr<TFrameHookEntry> NewEntry(TModuleHandle module,
                                          const std::vector<std::string>& arguments) {
    auto entry = std::make_unique<TFrameHookEntry>();
    entry->Configure = Bind<TFrameHookConfigure>(module, "Configure");
    entry->Process = Bind<TFrameHookProcess>(module, "Process");
    entry->Release = Bind<TFrameHookRelease>(module, "Release");
    entry->Arguments = arguments;
    for (std::string& argument : entry->Arguments)
        entry->ArgumentPointers.push_back(argument.data());
    entry->ArgumentPointers.push_back(nullptr);
    return entry;
}

}  // namespace

TFrameHookList::~TFrameHookList() { ReleaseFrameHooks(*this); }

int AddFrameHook(TFrameHookList& list, const std::vector<std::string>& arguments) {
    if (arguments.empty()) return kErrorNotFound;
    const std::string& fileName = arguments[0];
    std::string error;
    TModuleHandle module = Modules().Find(fileName, error);
    if (!module) {
        LogError(error);
        return kErrorOther;
    }
    try {
        std::unique_ptr<TFrameHookEntry> entry = NewEntry(module, arguments);
        if (!entry->Process) {
            LogError("Failed to find Process entrypoint in " + fileName);
            return kErrorNotFound;
        }
        if (!entry->Configure && arguments.size() > 1) {
            LogError("Failed to find Configure entrypoint in " + fileName);
            return kErrorNotFound;
        }
        list.entries_.reserve(list.entries_.size() + 1);  // appending cannot fail once configured
        if (entry->Configure &&
            entry->Configure(&entry->Context, static_cast<int>(arguments.size()),
                             entry->ArgumentPointers.data()) != 0) {
            LogError("Failed to Configure " + fileName);
            return kErrorInvalidArgument;
        }
        list.entries_.push_back(std::move(entry));
    } catch (const std::bad_alloc&) {
        return kErrorOutOfMemory;
    }
    return 0;
}

void ProcessFrameHooks(TFrameHookList& list, TPicture* picture, int pixelFormat, int width,
                       int height, int64_t timestamp) {
    for (const auto& entry : list.entries_) {
        entry->Process(entry->Context, picture, pixelFormat, width, height, timestamp);
    }
}

void ReleaseFrameHooks(TFrameHookList& list) {
    for (const auto& entry : list.entries_) {
        if (entry->Release) entry->Release(entry->Context);
    }
    list.entries_.clear();
}
