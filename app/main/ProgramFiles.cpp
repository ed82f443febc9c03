#include "app/main/ProgramFiles.h"

#include "app/core/Settings.h"
#include "platform/FileSystem.h"

namespace {

const char* const kSettingsFileName = "lamecore.dll";

}  // namespace

TProgramFiles TProgramFiles::Installed() { return {ExecutablePath(), GetSettingsFileName()}; }

TProgramFiles TProgramFiles::In(const std::string& folder) {
    const std::string withDelimiter = IncludeBackslash(folder);
    return {withDelimiter, withDelimiter + kSettingsFileName};
}

std::string TProgramFiles::SkinFile(const std::string& resFolder) const {
    return IncludeBackslash(Folder + "sounds/" + resFolder) + "main.bmp";
}
