#include "app/EncoderStandIn.h"

#include "engine/loader/FFLoad.h"

bool TEncoderStandIn::LibrariesLoaded() const { return FFLoader().LibsLoaded(FullLibrarySet); }

bool TEncoderStandIn::LoadLibraries(const std::string& folder) {
    TFFLoader& loader = FFLoader();
    loader.SetLibraryPath(folder);
    if (loader.LoadLibs(FullLibrarySet)) return true;
    lastErrorMessage_ = loader.LastErrorMessage();
    return false;
}
