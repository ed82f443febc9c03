#include "platform/ThreadPriority.h"

#include <sys/resource.h>

#include <algorithm>

int NiceValueOf(TThreadPriority priority) {
    switch (priority) {
        case tpIdle:
            return 19;
        case tpLowest:
            return 10;
        case tpLower:
            return 5;
        default:
            return 0;
    }
}

bool SetThreadNice(uint32_t threadId, int niceValue) {
    if (threadId == 0) return false;
    // On Linux a thread id names the thread alone for PRIO_PROCESS.
    return setpriority(PRIO_PROCESS, static_cast<id_t>(threadId), std::clamp(niceValue, -20, 19)) ==
           0;
}
