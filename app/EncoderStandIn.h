#pragma once
// The calls the main window makes on its encoder component to load the media libraries and to
// probe the chosen file: LibrariesLoaded, LoadLibraries, LastErrorMessage and Decoder. This
// class answers them with the engine's loader and a decoder of its own, with the encoder's
// names and results, until the window's FFEncoder is the encoder component itself.
#include <string>

#include "engine/decoder/FFDecode.h"

class TEncoderStandIn {
public:
    // Every library of the engine is loaded.
    bool LibrariesLoaded() const;
    // Loads every library of the engine from `folder` (or through the system's search); false
    // with the loader's text in LastErrorMessage when one fails.
    bool LoadLibraries(const std::string& folder);
    const std::string& LastErrorMessage() const { return lastErrorMessage_; }
    TFFDecoder& Decoder() { return decoder_; }

private:
    TFFDecoder decoder_;
    std::string lastErrorMessage_;
};
