// Which instruction set the library's fast paths use. The best level the
// processor supports is chosen once, on first use; every fast path has a
// plain scalar counterpart that gives the same bytes, and selecting
// GX_SIMD_SCALAR runs those everywhere (tests compare the levels with it).
#pragma once

#include <cstdint>

inline constexpr int32_t GX_SIMD_SCALAR = 0;  // the plain reference code
inline constexpr int32_t GX_SIMD_SSE2 = 1;    // 128-bit integer vectors
inline constexpr int32_t GX_SIMD_AVX2 = 2;    // 256-bit vectors and gathers

// The highest level this processor (and this build) can run.
int32_t gx_simd_supported();
// The level in force; the first call selects gx_simd_supported().
int32_t gx_simd_level();
// Selects a level, lowered to what is supported; returns the level now in
// force. Meant for tests and benchmarks: the library picks one by itself.
int32_t gx_simd_select(int32_t level);
