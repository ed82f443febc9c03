#pragma once
// The engine log: one logger per process that hands every line, from the engine's components
// and from the FFmpeg libraries, to the application's OnLog event.
//
// Components log with FFLogger().Log(this, llError, "text") or the printf-style overload.
// FFmpeg's messages arrive through the log callback, which the loader installs once libavutil
// is bound; they are cut into lines (text without a line feed waits for the rest of the line
// from the same thread), repeated lines are counted instead of delivered, and each line reaches
// OnLog on its own.
#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "engine/core/FFBaseComponent.h"

enum TLogLevel { llQuiet, llPanic, llFatal, llError, llWarning, llInfo, llVerbose, llDebug };

// TLogLevel to FFmpeg's scale: (ordinal - 1) * 8, so llInfo is AV_LOG_INFO (32).
int LevelToAV(TLogLevel level);
// FFmpeg's scale to TLogLevel: level / 8 + 1, clamped to llQuiet..llDebug.
TLogLevel AVToLevel(int avLevel);

// Sender (the component that logged; the logger itself for FFmpeg lines; null for anonymous
// lines), the operating-system thread id of the thread that logged, the level and one line
// without its line terminator.
using TLogEvent = std::function<void(const void* Sender, uint32_t AThreadID, TLogLevel ALogLevel,
                                     const std::string& ALogMsg)>;

// One event as it is handed to OnLog.
struct TLogInfo {
    const void* Sender = nullptr;
    uint32_t ThreadID = 0;
    TLogLevel LogLevel = llInfo;
    std::string LogMsg;
};

class TFFLogger : public TFFBaseComponent {
public:
    // The application's logger. It replaces a logger FFLogger() made on demand; a second
    // application logger fails with "Allow creating only one instance of TFFLogger.".
    TFFLogger();
    ~TFFLogger() override;

    // When set (the default), OnLog runs on the main thread and the logging thread waits for it;
    // otherwise OnLog runs on the logging thread (one event at a time).
    bool TriggerEventInMainThread() const { return triggerInMainThread_; }
    void SetTriggerEventInMainThread(bool on) { triggerInMainThread_ = on; }

    // Messages above this level are dropped; it also sets FFmpeg's level (default llInfo).
    TLogLevel LogLevel() const { return logLevel_; }
    void SetLogLevel(TLogLevel level);

    // Registers the FFmpeg log callback and applies LogLevel. Needs av_log_set_callback and
    // av_log_set_level bound ("Assertion failure" otherwise). Called by the loader.
    void InstallLogCallback();

    // The engine's own log calls. Pass a std::string for text that is not a format.
    void Log(const void* sender, TLogLevel level, const std::string& message);
    void Log(const void* sender, TLogLevel level, const char* format, ...)
        __attribute__((format(printf, 4, 5)));

    // A line of the FFmpeg log (level in FFmpeg's scale), already filtered by the callback.
    void LogLine(uint32_t threadId, int avLevel, const std::string& line);

    TLogEvent OnLog;

protected:
    virtual void DoLog(const TLogInfo& info);

private:
    friend TFFLogger& FFLogger();
    struct InternalTag {};
    explicit TFFLogger(InternalTag);
    void Register();
    void ApplyLogLevel();
    void Deliver(const TLogInfo& info);

    bool internallyCreated_ = false;
    std::atomic<bool> triggerInMainThread_{true};
    std::atomic<TLogLevel> logLevel_{llInfo};
    std::recursive_mutex deliverLock_;
};

// The process-wide logger; made on demand when the application has placed none.
TFFLogger& FFLogger();
// Frees a logger FFLogger() made on demand (engine shutdown).
void ReleaseInternalLogger();
