#pragma once
// Errors of the GIF library.
#include "platform/Exception.h"

class GIFException : public Exception {
public:
    using Exception::Exception;
};
