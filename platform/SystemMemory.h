#pragma once
// The machine's memory, for limits that must leave room for the rest of the system.
#include <cstdint>

// Bytes of physical memory, or 0 when the system does not say.
uint64_t PhysicalMemoryBytes();
