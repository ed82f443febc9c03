#pragma once
// The common exception class of the program and the platform's own error kinds.
#include <stdexcept>
#include <string>

// Base of every error the program raises on purpose; the message is the user-facing text.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    std::string Message() const { return what(); }
};

// A bitmap or graphic operation that cannot be done ("Scan line index out of range", ...).
class EInvalidGraphicOperation : public Exception {
public:
    using Exception::Exception;
};

// Memory could not be had for an image or buffer.
class EOutOfMemory : public Exception {
public:
    using Exception::Exception;
};

// A system resource (device context, handle) could not be had.
class EOutOfResources : public Exception {
public:
    using Exception::Exception;
};

// A stream could not read, write or seek as asked.
class EStreamError : public Exception {
public:
    using Exception::Exception;
};

// Image data that cannot be read ("Bitmap image is not valid").
class EInvalidGraphic : public Exception {
public:
    using Exception::Exception;
};
