#pragma once
// TFFLoader: loads the FFmpeg libraries and the C library at run time and binds their entry
// points (engine/entrypoints/) into the libav:: variables.
//
// Engine code checks that the libraries it needs are loaded (LibsLoaded / CheckLibsLoaded)
// before calling through libav::. One loader exists per process: FFLoader().
//
//     TFFLoader& loader = FFLoader();
//     loader.SetLibraryPath(ExecutablePath() + "lib");
//     if (!loader.LoadLibs(FullLibrarySet)) report(loader.LastErrorMessage());
//
// A library is loaded from the library folder when its file is there (and its dependencies that
// are there come from the folder too), else by file name through the system's search. libc is
// always found by the system's search.
#include <cstdint>
#include <string>

#include "platform/Module.h"

enum TLibraryId {
    libAVCodec,
    libAVDevice,
    libAVFilter,
    libAVFormat,
    libAVUtil,
    libSWResample,
    libSWScale,
    libC,
    LibraryCount
};

// A set of libraries, one bit per TLibraryId.
using TLibrarySet = uint32_t;
constexpr TLibrarySet LibraryBit(TLibraryId id) { return TLibrarySet(1) << id; }
// Every library: the encoder and its conversion tasks.
constexpr TLibrarySet FullLibrarySet = (TLibrarySet(1) << LibraryCount) - 1;
// The decoder component's libraries (no libavdevice, no libavfilter).
constexpr TLibrarySet DecoderLibrarySet = LibraryBit(libAVCodec) | LibraryBit(libAVFormat) |
                                          LibraryBit(libAVUtil) | LibraryBit(libSWResample) |
                                          LibraryBit(libSWScale) | LibraryBit(libC);

class TFFLoader {
public:
    TFFLoader() = default;
    ~TFFLoader();
    TFFLoader(const TFFLoader&) = delete;
    TFFLoader& operator=(const TFFLoader&) = delete;

    // The folder the libraries are loaded from (empty: the system's search only).
    void SetLibraryPath(const std::string& folder) { libraryPath_ = folder; }
    const std::string& LibraryPath() const { return libraryPath_; }
    // Text of the last failure: "Load library %s error: %s" or "Load function %s@%s error: %s".
    const std::string& LastErrorMessage() const { return lastErrorMessage_; }
    // When set (the default), binding libavutil installs the engine log's FFmpeg callback.
    bool LogHook = true;

    // "libavcodec.so.59" ...; "libc.so.6".
    std::string GetLibFileName(TLibraryId id) const;
    const char* LibBaseName(TLibraryId id) const;
    // The file a loaded library came from (empty when not loaded).
    std::string LibModuleFileName(TLibraryId id) const;

    bool LoadLib(TLibraryId id);
    bool LibLoaded(TLibraryId id) const;
    void UnloadLib(TLibraryId id);

    // Over a set, in ascending id order. LoadLibs unloads the whole set again when one library
    // fails. An empty set fails with "Assertion failure".
    bool LoadLibs(TLibrarySet libs);
    bool LibsLoaded(TLibrarySet libs) const;
    void UnloadLibs(TLibrarySet libs);
    // Fails with "Library %s not loaded." naming the first library of the set not loaded.
    void CheckLibsLoaded(TLibrarySet libs) const;

private:
    struct TLibraryStatus {
        TModuleHandle Module = nullptr;
        bool Bound = false;
    };
    bool LoadModuleOf(TLibraryId id);
    void Bind(TLibraryId id);
    void AfterBinding(TLibraryId id);

    std::string libraryPath_;
    std::string lastErrorMessage_;
    TLibraryStatus status_[LibraryCount];
};

// The process-wide loader (engine start-up runs on first use).
TFFLoader& FFLoader();

// Engine start-up: makes the loader and masks floating-point exceptions, saving the
// floating-point environment. Runs once; FFLoader() runs it when needed.
void EngineStartup();
// Engine shutdown: restores the floating-point environment, unloads every library, frees the
// lock manager's mutexes, the loader and an on-demand logger.
void EngineShutdown();
