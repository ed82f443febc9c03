#include "engine/log/FFLogCallback.h"

#include <atomic>
#include <cinttypes>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/core/TextFormat.h"
#include "engine/entrypoints/avutil.h"
#include "engine/log/FFLog.h"
#include "platform/Thread.h"

namespace {

std::atomic<int> avLogLevel{32};

// The state the log lock guards. It lives as long as the process, because FFmpeg may log from
// its own threads while the program ends.
struct TLogState {
    std::mutex Lock;
    std::unordered_map<uint32_t, std::string> Pending;  // per thread: text not yet ended by \n
    std::string LastLogMessage;
    int RepeatCount = 0;
};

TLogState& State() {
    static TLogState* state = new TLogState;
    return *state;
}

struct TCompletedLine {
    int Level;
    std::string Text;
};

std::string PointerText(const void* p) {
    return StrFormat("%0*" PRIXPTR, static_cast<int>(2 * sizeof(void*)),
                     reinterpret_cast<uintptr_t>(p));
}

const char* ItemName(void* context) {
    const AVClass* avClass = *static_cast<const AVClass**>(context);
    const char* name = avClass->item_name ? avClass->item_name(context) : avClass->class_name;
    return name ? name : "NULL";
}

// "[parent @ P] [name @ C]" for a context whose class names a parent log context.
std::string ContextPrefix(void* context) {
    if (!context) return {};
    const AVClass* avClass = *static_cast<const AVClass**>(context);
    if (!avClass) return {};
    std::string prefix;
    if (avClass->parent_log_context_offset) {
        void* parent = *reinterpret_cast<void**>(static_cast<uint8_t*>(context) +
                                                 avClass->parent_log_context_offset);
        if (parent && *static_cast<const AVClass**>(parent))
            prefix = "[" + std::string(ItemName(parent)) + " @ " + PointerText(parent) + "] ";
    }
    return prefix + "[" + ItemName(context) + " @ " + PointerText(context) + "]";
}

// Adds the message to the thread's pending text and moves every completed line to `lines`.
void CollectLines(std::string& pending, const std::string& message, int level,
                  std::vector<TCompletedLine>& lines) {
    pending += message;
    size_t start = 0;
    for (size_t feed; (feed = pending.find('\n', start)) != std::string::npos; start = feed + 1)
        lines.push_back({level, pending.substr(start, feed - start)});
    pending.erase(0, start);
}

std::vector<TCompletedLine> TakeLines(void* context, int level, const char* format, va_list args,
                                      uint32_t threadId) {
    std::vector<TCompletedLine> lines;
    TLogState& state = State();
    std::lock_guard<std::mutex> guard(state.Lock);
    std::string& pending = state.Pending[threadId];
    std::string message = pending.empty() ? ContextPrefix(context) : std::string();
    message += StrFormatV(format, args);
    if (!message.empty() && message.back() == '\n' && message == state.LastLogMessage) {
        ++state.RepeatCount;
        return lines;
    }
    if (state.RepeatCount > 1) {
        lines.push_back(
            {level, "    Last message repeated " + std::to_string(state.RepeatCount) + " times"});
    }
    state.RepeatCount = 0;
    state.LastLogMessage = message;
    CollectLines(pending, message, level, lines);
    return lines;
}

}  // namespace

int AVLogLevel() { return avLogLevel; }

void SetAVLogLevel(int avLevel) { avLogLevel = avLevel; }

void FFmpegLogCallback(void* context, int level, const char* format, va_list args) {
    if (level > avLogLevel || !format) return;
    const uint32_t threadId = CurrentThreadId();
    std::vector<TCompletedLine> lines = TakeLines(context, level, format, args, threadId);
    if (lines.empty()) return;
    TFFLogger& logger = FFLogger();
    for (const TCompletedLine& line : lines) logger.LogLine(threadId, line.Level, line.Text);
}
