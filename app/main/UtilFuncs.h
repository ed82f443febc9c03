#pragma once
// Small routines of the front end. The settings file's routines (GetSettingsFileName,
// DecodeSettingsLine, IncludeBackslash) are in app/core/Settings.h.
#include <QUrl>
#include <string>

// The URL a link stands for: a web address as it is, a file name (absolute, or relative to the
// program's folder, where the help pages lie) as a file URL. Empty for an empty link.
QUrl LinkUrl(const std::string& link);
// Asks the desktop to open the link. Nothing is reported when the link is empty or cannot be
// opened.
void OpenLink(const std::string& link);
