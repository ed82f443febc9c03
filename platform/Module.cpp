#include "platform/Module.h"

#include <dlfcn.h>
#include <link.h>

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
