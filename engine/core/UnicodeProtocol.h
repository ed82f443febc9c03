#pragma once
// File names on their way to and from the FFmpeg libraries.
//
// Names are UTF-8 throughout, so they reach libavformat's file protocol unchanged. A name the
// libraries could not take whole is refused rather than cut.
#include <cstddef>
#include <string>

// The longest name (in bytes) handed to the libraries.
constexpr size_t MaxLibNameBytes = 2047;

// The name as the libraries take it. Fails with Exception when it is longer than
// MaxLibNameBytes or holds a zero byte (either would reach the libraries as another name).
std::string WideToLibName(const std::string& name);
// A name coming back from the libraries (null gives an empty name).
std::string LibNameToWide(const char* name);
