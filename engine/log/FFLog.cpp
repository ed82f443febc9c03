#include "engine/log/FFLog.h"

#include <memory>
#include <vector>

#include "engine/core/TextFormat.h"
#include "engine/entrypoints/avutil.h"
#include "engine/log/FFLogCallback.h"
#include "platform/Exception.h"
#include "platform/MainThread.h"
#include "platform/Thread.h"

namespace {

// The process-wide instance and the logger FFLogger() made on demand (if that is the one).
struct TLoggerRegistry {
    std::mutex Lock;
    TFFLogger* Instance = nullptr;
    std::unique_ptr<TFFLogger> Internal;
};

TLoggerRegistry& Registry() {
    static TLoggerRegistry* registry = new TLoggerRegistry;
    return *registry;
}

}  // namespace

int LevelToAV(TLogLevel level) { return (static_cast<int>(level) - 1) * 8; }

TLogLevel AVToLevel(int avLevel) {
    int ordinal = avLevel / 8 + 1;
    if (ordinal < 0) return llQuiet;
    if (ordinal >= static_cast<int>(llDebug)) return llDebug;
    return static_cast<TLogLevel>(ordinal);
}

TFFLogger::TFFLogger() { Register(); }

TFFLogger::TFFLogger(InternalTag) : internallyCreated_(true) {}

void TFFLogger::Register() {
    TLoggerRegistry& registry = Registry();
    std::unique_ptr<TFFLogger> replaced;
    std::unique_lock<std::mutex> lock(registry.Lock);
    if (registry.Instance && registry.Instance->internallyCreated_) {
        replaced = std::move(registry.Internal);
        registry.Instance = nullptr;
    }
    if (registry.Instance) throw Exception("Allow creating only one instance of TFFLogger.");
    logLevel_ = AVToLevel(AVLogLevel());
    registry.Instance = this;
    lock.unlock();
    // An on-demand logger's handler and level do not carry over; the application sets its own.
    replaced.reset();
}

TFFLogger::~TFFLogger() {
    TLoggerRegistry& registry = Registry();
    std::lock_guard<std::mutex> guard(registry.Lock);
    if (registry.Instance == this) registry.Instance = nullptr;
}

TFFLogger& FFLogger() {
    TLoggerRegistry& registry = Registry();
    std::lock_guard<std::mutex> guard(registry.Lock);
    if (!registry.Instance) {
        registry.Internal.reset(new TFFLogger(TFFLogger::InternalTag{}));
        registry.Internal->logLevel_ = AVToLevel(AVLogLevel());
        registry.Instance = registry.Internal.get();
    }
    return *registry.Instance;
}

void ReleaseInternalLogger() {
    TLoggerRegistry& registry = Registry();
    std::unique_ptr<TFFLogger> internal;
    {
        std::lock_guard<std::mutex> guard(registry.Lock);
        internal = std::move(registry.Internal);
        if (internal && registry.Instance == internal.get()) registry.Instance = nullptr;
    }
}

void TFFLogger::SetLogLevel(TLogLevel level) {
    if (level == logLevel_) return;
    logLevel_ = level;
    ApplyLogLevel();
}

void TFFLogger::ApplyLogLevel() {
    if (!libav::av_log_set_level) return;
    SetAVLogLevel(LevelToAV(logLevel_));
    libav::av_log_set_level(AVLogLevel());
}

void TFFLogger::InstallLogCallback() {
    if (!libav::av_log_set_callback || !libav::av_log_set_level)
        throw Exception("Assertion failure");
    libav::av_log_set_callback(FFmpegLogCallback);
    ApplyLogLevel();
}

void TFFLogger::Log(const void* sender, TLogLevel level, const std::string& message) {
    if (!OnLog || level > logLevel_) return;
    Deliver(TLogInfo{sender, CurrentThreadId(), level, message});
}

void TFFLogger::Log(const void* sender, TLogLevel level, const char* format, ...) {
    if (!OnLog || level > logLevel_) return;
    va_list args;
    va_start(args, format);
    std::string message = StrFormatV(format, args);
    va_end(args);
    Deliver(TLogInfo{sender, CurrentThreadId(), level, std::move(message)});
}

void TFFLogger::LogLine(uint32_t threadId, int avLevel, const std::string& line) {
    if (!OnLog) return;
    Deliver(TLogInfo{this, threadId, AVToLevel(avLevel), line});
}

void TFFLogger::Deliver(const TLogInfo& info) {
    if (triggerInMainThread_ && !IsMainThread()) {
        Synchronize([this, &info] { DoLog(info); });
        return;
    }
    // Handlers on the logging threads get one event at a time.
    std::lock_guard<std::recursive_mutex> guard(deliverLock_);
    DoLog(info);
}

void TFFLogger::DoLog(const TLogInfo& info) {
    if (OnLog) OnLog(info.Sender, info.ThreadID, info.LogLevel, info.LogMsg);
}
