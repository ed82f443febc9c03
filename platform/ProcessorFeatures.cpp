#include "platform/ProcessorFeatures.h"

#include <cstdlib>
#include <cstring>

namespace {

// CLIPGIF_PLAIN_CPU set (and not "0") in the environment: the extensions are left unused, as on
// a processor without them. Slower, with the same results: for checking that they are.
bool PlainProcessorAsked() {
    const char* value = std::getenv("CLIPGIF_PLAIN_CPU");
    return value && *value && std::strcmp(value, "0") != 0;
}

}  // namespace

bool HasByteShuffle() {
#ifdef CLIPGIF_X86_FEATURES
    static const bool has = __builtin_cpu_supports("ssse3") && !PlainProcessorAsked();
    return has;
#else
    return false;
#endif
}

bool HasWideVectors() {
#ifdef CLIPGIF_X86_FEATURES
    static const bool has = __builtin_cpu_supports("avx2") && !PlainProcessorAsked();
    return has;
#else
    return false;
#endif
}
