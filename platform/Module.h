#pragma once
// Shared libraries loaded at run time.
#include <string>

using TModuleHandle = void*;

// Loads a library by full path, or by file name through the system's search when the name has
// no folder. Returns nullptr on failure and puts the system's text in *error.
TModuleHandle LoadModule(const std::string& fileName, std::string* error);
// An exported symbol, or nullptr with the system's text in *error.
void* ModuleSymbol(TModuleHandle module, const std::string& name, std::string* error);
void FreeModule(TModuleHandle module);

// Loads folder + fileName (folder ends with '/') so that the library's dependencies that lie
// in the same folder are used rather than the system's: those are loaded first, dependencies
// before the libraries that need them.
TModuleHandle LoadModuleFromFolder(const std::string& folder, const std::string& fileName,
                                   std::string* error);
// Loads a library by file name through the system's search, as LoadModule does, with those of
// its dependencies that have many symbols to look up loaded beforehand, one at a time, each
// after the libraries it needs. A library loaded on its own looks its symbols up among its own
// dependencies only, where loaded as a dependency of another it looks them up among all of the
// other's: for a library that needs two hundred others, as the media libraries do, that was
// most of the loading time.
TModuleHandle LoadSystemModule(const std::string& fileName, std::string* error);
// The file the module was loaded from (empty when unknown).
std::string ModuleFileName(TModuleHandle module);
