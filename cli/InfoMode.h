#pragma once
// clipgif-cli --info FILE: prints the file information text of FILE.
#include <string>

// Exit code 0 with the text on stdout; 1 with the decoder's error on stderr.
int RunInfoMode(const std::string& fileName);
