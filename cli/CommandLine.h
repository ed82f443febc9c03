#pragma once
// The command line of clipgif-cli: what it asks for, carried out.
#include <string>
#include <vector>

// Runs what the arguments (without the program name) ask for; returns the exit status. A wrong
// command line prints why and the usage on stderr and gives 2.
int RunCommandLine(const std::vector<std::string>& args);
