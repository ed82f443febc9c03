#pragma once
// clipgif-cli [OPTIONS] FILE...: converts each file into a GIF, one after another.
#include "cli/CliOptions.h"

// 0 when every file was converted; 1 when any failed (its reason on stderr); 130 when Ctrl-C
// stopped a conversion (the frames so far are saved) and the files after it were left alone.
int RunConvertMode(const TConvertSettings& settings);
