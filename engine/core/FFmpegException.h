#pragma once
// The error a conversion task raises; the message is the task's error text.
#include "platform/Exception.h"

class FFmpegException : public Exception {
public:
    using Exception::Exception;
};
