#pragma once
// The settings file beside the executables: text whose bytes are stored complemented, one line
// per line break, forming an INI document. Section SYSTEM holds what the program is (its name,
// version, skin and help links); section OUTPUT what the user chose last in the options dialog,
// which the program writes back.
#include <string>
#include <utility>
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

// The same for the section called `section`.
std::vector<std::string> ReadSection(const std::vector<std::string>& lines,
                                     const std::string& section,
                                     const std::vector<std::string>& keys);

// A key and its value.
using TSettingsValue = std::pair<std::string, std::string>;
// The lines with the keys' values set in the first section called `section`: the line of a key
// there (its first) gets the new value, a key not there is added at the end of the section, a
// section not there is added at the end. Every other line stays as it was.
std::vector<std::string> SetSectionValues(std::vector<std::string> lines,
                                          const std::string& section,
                                          const std::vector<TSettingsValue>& values);

// Whether a text can be stored: no line break, and no byte whose complement is a line break or
// a zero byte (0xF2, 0xF5, 0xFF, which UTF-8 text of the first three planes never holds).
bool StorableSettingsText(const std::string& text);
// The stored bytes of the lines: each complemented, followed by CR LF. A line that cannot be
// stored raises std::invalid_argument.
std::string EncodeSettings(const std::vector<std::string>& lines);

// The keys of section SYSTEM from the stored bytes of a settings file.
std::vector<std::string> DecodeSettings(const std::string& storedBytes,
                                        const std::vector<std::string>& keys);
// The keys of section SYSTEM from the settings file (GetSettingsFileName unless another name is
// given). A file that cannot be opened or read raises EStreamError naming the operation.
std::vector<std::string> ReadSettings(const std::vector<std::string>& keys,
                                      const std::string& fileName = GetSettingsFileName());
// The keys of the section called `section` of the settings file, as ReadSettings reads.
std::vector<std::string> ReadSettingsSection(const std::string& section,
                                             const std::vector<std::string>& keys,
                                             const std::string& fileName);
// Sets the keys' values in the section of the settings file (SetSectionValues): the file is
// written beside itself and then takes its place, so a failure leaves it as it was. Failures
// raise EStreamError (or std::invalid_argument for a value that cannot be stored).
void WriteSettingsSection(const std::string& section, const std::vector<TSettingsValue>& values,
                          const std::string& fileName);
