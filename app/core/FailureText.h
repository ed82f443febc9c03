#pragma once
// A failed conversion told as a sentence that names the file and says what happened, in place
// of the engine's text where that blames the wrong thing ("Output file #0 does not contain any
// stream" for an input cut short) or says nothing a user can act on ("std::bad_alloc").
#include <string>

// `message` is the text the conversion of `fileName` failed with (the decoder's, the task's
// or the frame sink's). Texts that name the file and say what happened are kept.
std::string ConversionFailureText(const std::string& fileName, const std::string& message);
