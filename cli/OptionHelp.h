#pragma once
// The text of --help and the reminder printed with a usage error, made from the option table.
#include <string>

// The synopsis, what the program does, every option of the table with what it does and costs
// (and its range or choices), the output and the exit status.
std::string HelpText();

// The short reminder printed with a usage error.
std::string UsageText();
