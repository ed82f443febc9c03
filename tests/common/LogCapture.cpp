#include "tests/common/LogCapture.h"

#include <utility>

namespace testsupport {

TLogCapture::TLogCapture(TFFLogger& logger)
    : logger_(logger),
      earlierHandler_(std::move(logger.OnLog)),
      earlierTrigger_(logger.TriggerEventInMainThread()) {
    logger_.SetTriggerEventInMainThread(false);
    logger_.OnLog = [this](const void*, uint32_t, TLogLevel level, const std::string& text) {
        std::lock_guard<std::mutex> guard(mutex_);
        lines_.push_back({level, text});
    };
}

TLogCapture::~TLogCapture() {
    logger_.OnLog = std::move(earlierHandler_);
    logger_.SetTriggerEventInMainThread(earlierTrigger_);
}

std::vector<TLoggedLine> TLogCapture::Lines() {
    std::lock_guard<std::mutex> guard(mutex_);
    return lines_;
}

std::vector<std::string> TLogCapture::Errors() {
    std::vector<std::string> errors;
    for (const TLoggedLine& line : Lines())
        if (line.Level <= llError) errors.push_back(line.Text);
    return errors;
}

bool TLogCapture::Logged(TLogLevel level, const std::string& text) {
    for (const TLoggedLine& line : Lines())
        if (line.Level == level && line.Text.find(text) != std::string::npos) return true;
    return false;
}

TLoggedLine TLogCapture::Last() {
    std::lock_guard<std::mutex> guard(mutex_);
    return lines_.empty() ? TLoggedLine{} : lines_.back();
}

size_t TLogCapture::Count() {
    std::lock_guard<std::mutex> guard(mutex_);
    return lines_.size();
}

}  // namespace testsupport
