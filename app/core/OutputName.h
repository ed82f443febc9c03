#pragma once
// The name of the GIF made from an input file.
#include <string>

// The input's name without its extension, followed by "_(new)" and `extension` beside the
// input; when a file of that name exists, "_(new_1)", "_(new_2)" ... up to the first name that
// does not exist. The input's own name is never the result.
std::string GetUniqueOutputName(const std::string& inputName, const std::string& extension);

// True when something of that name exists (a file, a folder, even a dangling link).
bool NameExists(const std::string& name);
