#include "platform/Module.h"

#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <vector>

#include "platform/ElfDependencies.h"
#include "platform/FileSystem.h"

namespace {

std::string LastDlError() {
    const char* text = dlerror();
    return text ? text : "unknown error";
}

// Loads the dependencies of folder + fileName found in the folder, deepest first, adding the
// handles to `loaded`. Names already visited are skipped, which also ends dependency cycles.
void LoadFolderDependencies(const std::string& folder, const std::string& fileName,
                            std::set<std::string>& visited, std::vector<TModuleHandle>& loaded) {
    for (const std::string& dependency : ElfDependencies(folder + fileName)) {
        if (!visited.insert(dependency).second || !FileExists(folder + dependency)) continue;
        LoadFolderDependencies(folder, dependency, visited, loaded);
        if (TModuleHandle module = LoadModule(folder + dependency, nullptr))
            loaded.push_back(module);
    }
}

// The file names of the libraries loaded so far and the folders they came from.
struct TLoadedLibraries {
    std::set<std::string> Names;
    std::vector<std::string> Folders;
};

TLoadedLibraries LoadedLibraries() {
    TLoadedLibraries loaded;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            auto& libraries = *static_cast<TLoadedLibraries*>(data);
            if (info->dlpi_name && info->dlpi_name[0] == '/') {
                libraries.Names.insert(ExtractFileName(info->dlpi_name));
                libraries.Folders.push_back(ExtractFilePath(info->dlpi_name));
            }
            return 0;
        },
        &loaded);
    return loaded;
}

void AddFolder(std::vector<std::string>& folders, const std::string& folder) {
    if (folder.empty() || folder[0] != '/') return;
    std::string withDelimiter = IncludeTrailingPathDelimiter(folder);
    if (std::find(folders.begin(), folders.end(), withDelimiter) == folders.end())
        folders.push_back(std::move(withDelimiter));
}

// Folders the system's loader looks for libraries in, as far as they can be known without its
// cache: those of LD_LIBRARY_PATH, those the libraries loaded so far came from (each also with
// and without a leading /usr, which a system may keep apart), and the loader's defaults.
std::vector<std::string> SystemLibraryFolders(const std::vector<std::string>& loadedFrom) {
    std::vector<std::string> folders;
    if (const char* path = std::getenv("LD_LIBRARY_PATH")) {
        const std::string list = path;
        for (size_t start = 0; start <= list.size();) {
            const size_t end = std::min(list.find(':', start), list.size());
            AddFolder(folders, list.substr(start, end - start));
            start = end + 1;
        }
    }
    const std::string usr = "/usr";
    for (const std::string& folder : loadedFrom) {
        AddFolder(folders, folder);
        AddFolder(folders,
                  folder.rfind(usr + "/", 0) == 0 ? folder.substr(usr.size()) : usr + folder);
    }
    for (const char* folder : {"/lib", "/usr/lib", "/lib64", "/usr/lib64"})
        AddFolder(folders, folder);
    return folders;
}

std::string FindInFolders(const std::vector<std::string>& folders, const std::string& name) {
    for (const std::string& folder : folders)
        if (FileExists(folder + name)) return folder + name;
    return {};
}

// A library with fewer symbols to look up is not worth a load of its own: it is loaded with the
// first library that needs it.
constexpr uint64_t kLeastRelocationsAlone = 200;

// Loads by name, each after the libraries it needs, the dependencies of a library (`linking`)
// that are not loaded or `visited` yet and can be found in `folders`, adding the handles to
// `loaded`. They are loaded by name so that the system's loader picks the files, as it would
// for the library; the folders only tell the order. A library with search folders of its own
// finds its dependencies there when it is loaded: they are left to it.
void LoadSystemDependencies(const TElfLinking& linking, const std::vector<std::string>& folders,
                            std::set<std::string>& visited, std::vector<TModuleHandle>& loaded) {
    if (linking.OwnSearchPath) return;
    for (const std::string& dependency : linking.Needed) {
        if (dependency.find('/') != std::string::npos || !visited.insert(dependency).second)
            continue;
        const std::string found = FindInFolders(folders, dependency);
        if (found.empty()) continue;
        const TElfLinking own = ElfLinking(found);
        LoadSystemDependencies(own, folders, visited, loaded);
        if (own.SymbolRelocations < kLeastRelocationsAlone) continue;
        if (TModuleHandle module = dlopen(dependency.c_str(), RTLD_NOW | RTLD_LOCAL))
            loaded.push_back(module);
    }
}

}  // namespace

TModuleHandle LoadModule(const std::string& fileName, std::string* error) {
    dlerror();
    TModuleHandle module = dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module && error) *error = LastDlError();
    return module;
}

void* ModuleSymbol(TModuleHandle module, const std::string& name, std::string* error) {
    dlerror();
    void* address = dlsym(module, name.c_str());
    if (!address && error) *error = LastDlError();
    return address;
}

void FreeModule(TModuleHandle module) {
    if (module) dlclose(module);
}

std::string ModuleFileName(TModuleHandle module) {
    link_map* map = nullptr;
    if (!module || dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name) return {};
    return map->l_name;
}

TModuleHandle LoadModuleFromFolder(const std::string& folder, const std::string& fileName,
                                   std::string* error) {
    std::set<std::string> visited{fileName};
    std::vector<TModuleHandle> dependencies;
    LoadFolderDependencies(folder, fileName, visited, dependencies);
    TModuleHandle module = LoadModule(folder + fileName, error);
    // The library now holds its own references to what it uses.
    for (TModuleHandle dependency : dependencies) FreeModule(dependency);
    return module;
}

TModuleHandle LoadSystemModule(const std::string& fileName, std::string* error) {
    std::vector<TModuleHandle> dependencies;
    TLoadedLibraries libraries = LoadedLibraries();
    if (fileName.find('/') == std::string::npos && !libraries.Names.count(fileName)) {
        const std::vector<std::string> folders = SystemLibraryFolders(libraries.Folders);
        const std::string found = FindInFolders(folders, fileName);
        // What is loaded already is neither looked at nor loaded again.
        std::set<std::string>& visited = libraries.Names;
        visited.insert(fileName);
        if (!found.empty())
            LoadSystemDependencies(ElfLinking(found), folders, visited, dependencies);
    }
    TModuleHandle module = LoadModule(fileName, error);
    // The library now holds its own references to what it uses; without it, they go again.
    for (TModuleHandle dependency : dependencies) FreeModule(dependency);
    return module;
}
