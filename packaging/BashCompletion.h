#pragma once
// The bash completion of clipgif-cli, made from its option table: the option names, the values
// an option offers (the choices of its row, the frame size names for a size) and file names
// for a file argument and for the files to convert.
#include <string>

// The script, to be sourced by bash (it defines _clipgif_cli and binds it to clipgif-cli).
std::string CliBashCompletion();
