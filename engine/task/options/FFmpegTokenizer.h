#pragma once
// Splits an option string into tokens the way a command line is split: blanks and tabs
// separate tokens; double quotes group; backslashes escape double quotes.
#include <string>
#include <vector>

std::vector<std::string> SplitCommandLine(const std::string& text);
