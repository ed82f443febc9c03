#pragma once
// Scheduling priority of single threads.
#include <cstdint>

// The priority a worker thread is asked to run at, from least to most favoured.
enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// The nice value a thread of this priority takes: 19, 10 and 5 below normal, 0 from normal up
// (raising a thread above the process needs privileges a program normally lacks).
int NiceValueOf(TThreadPriority priority);

// Sets the nice value (-20 most favoured, 19 least) of the thread with the operating system's
// id `threadId` (see CurrentThreadId). Lowering a priority always works; raising it above the
// process's needs privileges and is then refused. Returns whether the system took it.
bool SetThreadNice(uint32_t threadId, int niceValue);
