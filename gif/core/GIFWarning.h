#pragma once
// Receiver of the non-fatal diagnostics the image data coders issue.
#include <functional>
#include <string>

using TGIFWarningHandler = std::function<void(const std::string& message)>;
