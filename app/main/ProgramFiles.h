#pragma once
// The files that lie beside the program: the settings file, the icon, the skin pictures and the
// media libraries' folder.
#include <string>

struct TProgramFiles {
    // The folder, with a trailing '/'.
    std::string Folder;
    std::string SettingsFile;

    // The files of the running program: its folder and GetSettingsFileName().
    static TProgramFiles Installed();
    // The same files in another folder.
    static TProgramFiles In(const std::string& folder);

    std::string IconFile() const { return Folder + "icon.ico"; }
    // main.bmp in "sounds/" + the resource folder.
    std::string SkinFile(const std::string& resFolder) const;
    // The folder the media libraries are loaded from.
    std::string LibraryFolder() const { return Folder + "lib"; }
};
