#include "app/core/FailureText.h"

namespace {

bool StartsWith(const std::string& text, const std::string& start) {
    return text.rfind(start, 0) == 0;
}

// What the engine's text means for the file, or "" when it says it well enough.
std::string Cause(const std::string& message) {
    if (message == "std::bad_alloc")
        return "there was not enough memory to convert it (a smaller frame size needs less)";
    // The file's header ends before its streams are described.
    if (message == "I/O error" || message == "End of file")
        return "the file is cut short or damaged: it ends inside its header (" + message + ")";
    // The video stream is listed, but nothing of its pictures can be read: no codec, no
    // picture size or no pixel format, so no stream is made or no picture enters the filters.
    if (message.find("does not contain any stream") != std::string::npos ||
        StartsWith(message, "Error opening filters"))
        return "its video cannot be decoded: the file is cut short or damaged";
    return {};
}

}  // namespace

std::string ConversionFailureText(const std::string& fileName, const std::string& message) {
    // the decoder's messages begin with the file's name
    const std::string named = fileName + ": ";
    const std::string text = StartsWith(message, named) ? message.substr(named.size()) : message;
    const std::string cause = Cause(text);
    if (!cause.empty()) return named + cause;
    return StartsWith(message, fileName) ? message : named + message;
}
