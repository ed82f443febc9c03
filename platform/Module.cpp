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

bool IsLoaded(const std::string& name) {
    TModuleHandle module = dlopen(name.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (module) dlclose(module);
    return module != nullptr;
}

void AddFolder(std::vector<std::string>& folders, const std::string& folder) {
    if (folder.empty() || folder[0] != '/') return;
    std::string withDelimiter = IncludeTrailingPathDelimiter(folder);
    if (std::find(folders.begin(), folders.end(), withDelimiter) == folders.end())
        folders.push_back(std::move(withDelimiter));
}

// Folders the system's loader looks for libraries in, as far as they can be known without its
// cache: those of LD_LIBRARY_PATH, those the libraries loaded so far came from (each also with
// and without a leading /usr, which the system may keep apart), and the loader's defaults.
std::vector<std::string> SystemLibraryFolders() {
    std::vector<std::string> folders;
    if (const char* path = std::getenv("LD_LIBRARY_PATH")) {
        const std::string list = path;
        for (size_t start = 0; start <= list.size();) {
            const size_t end = std::min(list.find(':', start), list.size());
            AddFolder(folders, list.substr(start, end - start));
            start = end + 1;
        }
    }
    std::vector<std::string> loaded;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            if (info->dlpi_name && info->dlpi_name[0] == '/')
                static_cast<std::vector<std::string>*>(data)->push_back(
                    ExtractFilePath(info->dlpi_name));
            return 0;
        },
        &loaded);
    const std::string usr = "/usr";
    for (const std::string& folder : loaded) {
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

// Loads by name, each after the libraries it needs, the dependencies of the library file
// `path` that are not loaded yet and can be found in `folders`, adding the handles to `loaded`.
// They are loaded by name so that the system's loader picks the files, as it would for the
// library; the folders only tell the order. A library with search folders of its own finds its
// dependencies there when it is loaded: they are left to it.
void LoadSystemDependencies(const std::string& path, const std::vector<std::string>& folders,
                            std::set<std::string>& visited, std::vector<TModuleHandle>& loaded) {
    const TElfLinking linking = ElfLinking(path);
    if (linking.OwnSearchPath) return;
    for (const std::string& dependency : linking.Needed) {
        if (!visited.insert(dependency).second || dependency.find('/') != std::string::npos ||
            IsLoaded(dependency))
            continue;
        const std::string found = FindInFolders(folders, dependency);
        if (found.empty()) continue;
        LoadSystemDependencies(found, folders, visited, loaded);
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
    if (fileName.find('/') == std::string::npos && !IsLoaded(fileName)) {
        const std::vector<std::string> folders = SystemLibraryFolders();
        const std::string found = FindInFolders(folders, fileName);
        std::set<std::string> visited{fileName};
        if (!found.empty()) LoadSystemDependencies(found, folders, visited, dependencies);
    }
    TModuleHandle module = LoadModule(fileName, error);
    // The library now holds its own references to what it uses; without it, they go again.
    for (TModuleHandle dependency : dependencies) FreeModule(dependency);
    return module;
}
