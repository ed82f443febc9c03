#include "platform/SystemMemory.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string>

namespace {

// A number of bytes read from a control group's limit file; 0 when there is none ("max").
uint64_t ReadLimit(const std::string& file) {
    std::ifstream in(file);
    std::string limit;
    if (!(in >> limit) || limit == "max") return 0;
    try {
        return std::stoull(limit);
    } catch (const std::exception&) {
        return 0;
    }
}

std::string Below(const std::string& folder, const std::string& group) {
    return folder + (group == "/" ? std::string() : group);
}

// The memory limit of the control group this process runs in (unified hierarchy "memory.max",
// or the memory controller's "memory.limit_in_bytes"); 0 when there is none or it cannot be
// read. A limit beyond the physical memory limits nothing.
uint64_t ControlGroupLimit() {
    std::ifstream groups("/proc/self/cgroup");
    std::string line;
    uint64_t lowest = 0;
    auto take = [&lowest](uint64_t limit) {
        if (limit > 0) lowest = lowest > 0 ? std::min(lowest, limit) : limit;
    };
    // "0::/path" in the unified hierarchy, "4:memory:/path" for the memory controller
    while (std::getline(groups, line)) {
        const size_t first = line.find(':');
        const size_t second = line.find(':', first + 1);
        if (first == std::string::npos || second == std::string::npos) continue;
        const std::string controllers = line.substr(first + 1, second - first - 1);
        const std::string group = line.substr(second + 1);
        if (controllers.empty()) take(ReadLimit(Below("/sys/fs/cgroup", group) + "/memory.max"));
        if (("," + controllers + ",").find(",memory,") != std::string::npos)
            take(ReadLimit(Below("/sys/fs/cgroup/memory", group) + "/memory.limit_in_bytes"));
    }
    return lowest;
}

uint64_t AddressSpaceLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return 0;
    return static_cast<uint64_t>(limit.rlim_cur);
}

}  // namespace

uint64_t PhysicalMemoryBytes() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0) return 0;
    return static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize);
}

uint64_t UsableMemoryBytes() {
    uint64_t usable = PhysicalMemoryBytes();
    for (const uint64_t limit : {AddressSpaceLimit(), ControlGroupLimit()})
        if (limit > 0) usable = usable > 0 ? std::min(usable, limit) : limit;
    return usable;
}
