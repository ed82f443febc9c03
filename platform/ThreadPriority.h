#pragma once
// Scheduling priority of single threads.
#include <cstdint>

// Sets the nice value (-20 most favoured, 19 least) of the thread with the operating system's
// id `threadId` (see CurrentThreadId). Lowering a priority always works; raising it above the
// process's needs privileges and is then refused. Returns whether the system took it.
bool SetThreadNice(uint32_t threadId, int niceValue);
