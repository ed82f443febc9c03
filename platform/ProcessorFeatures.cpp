#include "platform/ProcessorFeatures.h"

bool HasByteShuffle() {
#ifdef CLIPGIF_X86_FEATURES
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
#else
    return false;
#endif
}

bool HasWideVectors() {
#ifdef CLIPGIF_X86_FEATURES
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
#else
    return false;
#endif
}
