#include "engine/loader/FFLoad.h"

#include <cfenv>
#include <memory>
#include <mutex>

#include "engine/entrypoints/avdevice.h"
#include "engine/entrypoints/avformat.h"
#include "engine/loader/FFLibraryTable.h"
#include "engine/loader/FFLockManager.h"
#include "engine/log/FFLog.h"
#include "platform/Exception.h"
#include "platform/FileSystem.h"

namespace {

void BindEntryPoint(const std::string& fileName, TModuleHandle module, const char* name,
                    bool optional, void** address) {
    std::string error;
    *address = ModuleSymbol(module, name, &error);
    if (!*address && !optional)
        throw Exception("Load function " + std::string(name) + "@" + fileName + " error: " + error);
}

// Sanitizer builds keep unloaded libraries mapped: the allocations a library makes when it starts
// are reachable only from its own data, and the leak checker would report every one of them
// once that data was unmapped.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kKeepLibrariesMapped = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(leak_sanitizer)
constexpr bool kKeepLibrariesMapped = true;
#else
constexpr bool kKeepLibrariesMapped = false;
#endif
#else
constexpr bool kKeepLibrariesMapped = false;
#endif

void ClearEntryPoints(TLibraryId id) {
    for (const TEntryPoint& entry : LibraryItem(id).EntryPoints()) *entry.Address = nullptr;
}

void Unbind(TLibraryId id) {
    if (id == libAVFormat && libav::avformat_network_deinit) libav::avformat_network_deinit();
    ClearEntryPoints(id);
}

// Process-wide engine state: the loader and the floating-point environment it saved.
struct TEngineState {
    std::mutex Lock;
    std::unique_ptr<TFFLoader> Loader;
    std::fenv_t SavedFloatEnvironment;
};

// Never destroyed: FFmpeg's threads may still run while the program ends.
TEngineState& Engine() {
    static TEngineState* state = new TEngineState;
    return *state;
}

}  // namespace

TFFLoader::~TFFLoader() { UnloadLibs(FullLibrarySet); }

std::string TFFLoader::GetLibFileName(TLibraryId id) const {
    const TLibraryItem& item = LibraryItem(id);
    std::string name = std::string("lib") + item.BaseName + ".so";
    if (item.Version >= 0) name += "." + std::to_string(item.Version);
    return name;
}

const char* TFFLoader::LibBaseName(TLibraryId id) const { return LibraryItem(id).BaseName; }

std::string TFFLoader::LibModuleFileName(TLibraryId id) const {
    return LibLoaded(id) ? ModuleFileName(status_[id].Module) : std::string();
}

bool TFFLoader::LoadModuleOf(TLibraryId id) {
    const std::string name = GetLibFileName(id);
    std::string folder;
    if (!libraryPath_.empty() && !LibraryItem(id).SystemOnly)
        folder = IncludeTrailingPathDelimiter(libraryPath_);
    std::string error;
    if (!folder.empty() && FileExists(folder + name))
        status_[id].Module = LoadModuleFromFolder(folder, name, &error);
    else
        status_[id].Module = LoadSystemModule(name, &error);
    if (!status_[id].Module) {
        lastErrorMessage_ = "Load library " + folder + name + " error: " + error;
        return false;
    }
    return true;
}

void TFFLoader::Bind(TLibraryId id) {
    const std::string fileName = GetLibFileName(id);
    try {
        for (const TEntryPoint& entry : LibraryItem(id).EntryPoints())
            BindEntryPoint(fileName, status_[id].Module, entry.Name, false, entry.Address);
    } catch (...) {
        // The entries bound so far point into a module that is about to be freed.
        ClearEntryPoints(id);
        throw;
    }
    if (id == libAVDevice) libav::avdevice_register_all();
    if (id == libAVFormat) libav::avformat_network_init();
}

void TFFLoader::AfterBinding(TLibraryId id) {
    // libavfilter 8 already has a "rotate" filter and takes no outside filters, so there is
    // nothing to register with it.
    if (id == libAVCodec) RegisterLockManager();
    if (id == libAVUtil && LogHook) FFLogger().InstallLogCallback();
}

bool TFFLoader::LoadLib(TLibraryId id) {
    TLibraryStatus& status = status_[id];
    if (!status.Module && !LoadModuleOf(id)) return false;
    if (status.Bound) return true;
    try {
        Bind(id);
        status.Bound = true;
    } catch (const Exception& e) {
        lastErrorMessage_ = e.what();
    }
    if (!status.Bound) {
        UnloadLib(id);
        return false;
    }
    AfterBinding(id);
    return true;
}

bool TFFLoader::LibLoaded(TLibraryId id) const { return status_[id].Module && status_[id].Bound; }

void TFFLoader::UnloadLib(TLibraryId id) {
    TLibraryStatus& status = status_[id];
    if (status.Bound) {
        if (id == libAVCodec) UnregisterLockManager();
        Unbind(id);
        status.Bound = false;
    }
    if (status.Module) {
        if (!kKeepLibrariesMapped) FreeModule(status.Module);
        status.Module = nullptr;
    }
}

bool TFFLoader::LoadLibs(TLibrarySet libs) {
    if (!libs) throw Exception("Assertion failure");
    for (int id = 0; id < LibraryCount; ++id) {
        if (!(libs & LibraryBit(TLibraryId(id)))) continue;
        if (!LoadLib(TLibraryId(id))) {
            UnloadLibs(libs);
            return false;
        }
    }
    return true;
}

bool TFFLoader::LibsLoaded(TLibrarySet libs) const {
    if (!libs) throw Exception("Assertion failure");
    for (int id = 0; id < LibraryCount; ++id)
        if ((libs & LibraryBit(TLibraryId(id))) && !LibLoaded(TLibraryId(id))) return false;
    return true;
}

void TFFLoader::UnloadLibs(TLibrarySet libs) {
    if (!libs) throw Exception("Assertion failure");
    for (int id = 0; id < LibraryCount; ++id)
        if (libs & LibraryBit(TLibraryId(id))) UnloadLib(TLibraryId(id));
}

void TFFLoader::CheckLibsLoaded(TLibrarySet libs) const {
    for (int id = 0; id < LibraryCount; ++id) {
        if ((libs & LibraryBit(TLibraryId(id))) && !LibLoaded(TLibraryId(id)))
            throw Exception(std::string("Library ") + LibBaseName(TLibraryId(id)) + " not loaded.");
    }
}

void EngineStartup() {
    TEngineState& engine = Engine();
    std::lock_guard<std::mutex> guard(engine.Lock);
    if (engine.Loader) return;
    engine.Loader = std::make_unique<TFFLoader>();
    SetLockManagerFinalising(false);
    // Save the environment, then run with every floating-point exception masked, rounding to
    // nearest.
    std::feholdexcept(&engine.SavedFloatEnvironment);
    std::fesetround(FE_TONEAREST);
}

void EngineShutdown() {
    TEngineState& engine = Engine();
    std::unique_ptr<TFFLoader> loader;
    {
        std::lock_guard<std::mutex> guard(engine.Lock);
        if (!engine.Loader) return;
        std::fesetenv(&engine.SavedFloatEnvironment);
        loader = std::move(engine.Loader);
    }
    SetLockManagerFinalising(true);
    loader->UnloadLibs(FullLibrarySet);
    FreeLockRegistry();
    loader.reset();
    ReleaseInternalLogger();
}

TFFLoader& FFLoader() {
    EngineStartup();
    TEngineState& engine = Engine();
    std::lock_guard<std::mutex> guard(engine.Lock);
    return *engine.Loader;
}
