#pragma once
// The command line of clipgif-cli: a mode switch and its arguments.
#include <string>
#include <vector>

// Runs the mode the arguments (without the program name) ask for; returns the exit code.
// Unknown modes and wrong argument counts print the usage on stderr and give 2.
int RunCommandLine(const std::vector<std::string>& args);
