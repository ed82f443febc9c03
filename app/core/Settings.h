#pragma once
// The settings file beside the executables: text whose bytes are stored complemented, one line
// per line break, forming an INI document of which only the section SYSTEM is read.
#include <string>
#include <vector>

// The keys the main window reads from section SYSTEM, in the order it reads them (the
// program's name, "Name", is read at start-up).
inline const std::vector<std::string> kWindowSettingsKeys = {"Version",
                                                             "Copyright",
                                                             "ResFolder",
                                                             "HelpContectLink",
                                                             "HelpHowTosTutorialVideosLink",
                                                             "HelpHomePageLink",
                                                             "HelpMoreFreeToolsLink",
                                                             "HelpCheckForUpdatesLink",
                                                             "HelpSupportLink"};

// The settings file's name: the executable's folder with its trailing '/', then "lamecore.dll".
std::string GetSettingsFileName();
// The line with every byte complemented (stored and plain text are each other's complement).
std::string DecodeSettingsLine(const std::string& line);
// The folder name with a '/' appended unless it already ends with one.
std::string IncludeBackslash(const std::string& folder);

// The text's lines: CR LF, CR alone and LF alone each end a line; a break at the very end
// starts no further line; a zero byte ends the text.
std::vector<std::string> SplitSettingsLines(const std::string& text);

// The values of the keys of section SYSTEM, in the order asked, from an INI document's lines.
// Section and key names are matched without regard to case; names and values lose the blanks
// around them; the first section of a name and the first line of a key count; lines before
// any section, lines without '=' and lines starting with ';' are no keys. A missing key gives
// an empty value.
std::vector<std::string> ReadSystemSection(const std::vector<std::string>& lines,
                                           const std::vector<std::string>& keys);

// The keys of section SYSTEM from the stored bytes of a settings file.
std::vector<std::string> DecodeSettings(const std::string& storedBytes,
                                        const std::vector<std::string>& keys);
// The keys of section SYSTEM from the settings file (GetSettingsFileName unless another name is
// given). A file that cannot be opened or read raises EStreamError naming the operation.
std::vector<std::string> ReadSettings(const std::vector<std::string>& keys,
                                      const std::string& fileName = GetSettingsFileName());
