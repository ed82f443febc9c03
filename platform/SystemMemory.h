#pragma once
// The machine's memory, for limits that must leave room for the rest of the system.
#include <cstdint>

// Bytes of physical memory, or 0 when the system does not say.
uint64_t PhysicalMemoryBytes();

// Bytes of memory this process can have at most: the physical memory, or less where the
// process's address-space limit (ulimit -v) or its control group's memory limit is lower; 0
// when none of them is known.
uint64_t UsableMemoryBytes();
