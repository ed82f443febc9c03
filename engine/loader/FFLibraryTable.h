#pragma once
// The fixed table of the libraries the loader handles.
#include "engine/entrypoints/EntryPoint.h"
#include "engine/loader/FFLoad.h"

struct TLibraryItem {
    TLibraryId Id;
    const char* BaseName;
    bool SystemOnly;  // never loaded from the library folder
    int Version;      // major version, -1 for none
    const TEntryPointList& (*EntryPoints)();
};

const TLibraryItem& LibraryItem(TLibraryId id);
