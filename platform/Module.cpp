#include "platform/Module.h"

#include <dlfcn.h>
#include <link.h>

namespace {

std::string LastDlError() {
    const char* text = dlerror();
    return text ? text : "unknown error";
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
