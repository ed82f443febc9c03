#pragma once
// What the processor offers beyond the instructions the program is built for, asked once. Code
// compiled for those instructions (a function's target attribute) runs only where they are.
// With CLIPGIF_PLAIN_CPU=1 in the environment none is used: slower, the same results.
#if defined(__x86_64__) || defined(__i386__)
#define CLIPGIF_X86_FEATURES 1
#endif

// Byte shuffles of sixteen bytes (SSSE3).
bool HasByteShuffle();
// Vectors of 256 bits for whole numbers (AVX2).
bool HasWideVectors();
