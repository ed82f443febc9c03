#pragma once
// The manual pages of the two programs, in roff. clipgif-cli's is made from the same option
// table and help paragraphs as its --help.
#include <string>

std::string CliManPage();
std::string DesktopManPage();
