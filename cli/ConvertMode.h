#pragma once
// clipgif-cli [OPTIONS] FILE...: converts each file into a GIF, one after another.
#include "cli/CliOptions.h"

// 0 when every file was converted; 1 when any failed (its reason on stderr) or its "Saved" line
// could not be written to stdout; 128 + the signal when Ctrl-C, SIGTERM or SIGHUP stopped a
// conversion (the frames so far are saved) and the files after it were left alone.
int RunConvertMode(const TConvertSettings& settings);
