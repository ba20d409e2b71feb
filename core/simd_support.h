#pragma once
// Vector paths of the hot loops (analyser, meters, correction filter). SSE2
// is part of every x86-64 target; AVX paths are compiled beside them (GCC and
// Clang) and chosen at run time. Every path performs the same operations on
// the same values in the same order, so results do not depend on the path
// taken.
#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define OMBRIX_SIMD_SSE2 1
#endif

#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define OMBRIX_SIMD_AVX 1
#define OMBRIX_TARGET_AVX __attribute__((target("avx")))
#endif

namespace ombrix {

// Whether the AVX paths may run here (the CPU and the operating system
// support AVX). Cheap after the first call; call it outside real-time code
// and keep the answer.
inline bool CpuHasAvx() {
#ifdef OMBRIX_SIMD_AVX
  return __builtin_cpu_supports("avx");
#else
  return false;
#endif
}

}  // namespace ombrix
