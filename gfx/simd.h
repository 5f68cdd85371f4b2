// Which instruction set the library's fast paths use: the one switch. The
// processor is probed once, here, and the best level it supports is chosen
// at start-up (gx_initialize) or on first use; every fast path has a plain
// scalar counterpart that gives the same bytes, and selecting
// GX_SIMD_SCALAR runs those everywhere (tests compare the levels with it).
//
// Each module with fast paths keeps one table of them, `active_fast_paths`,
// filled by its select_fast_paths(level) from the lowest level up, each
// level's files writing in what they do faster:
//   gfx/raster/fast_paths.h    run kernels, depth pre-test, run set-up
//   gfx/image/pcx_fast.h       line decoder, row converters
//   platform/portable/stretch_kernels.h   the stretch (through
//                              pf_select_vector_level)
// A new level: its constant below and its probe in simd.cpp; in each
// module, files named *_<level>.cpp defining that module's hooks for it
// (the hooks' declarations sit in the headers above) and one line in the
// module's select function; its compiler flags in CMakeLists.txt, as for
// *_avx2.cpp, and its suffix in tests/build/vector_isolation.cmake.
#pragma once

#include <cstdint>

inline constexpr int32_t GX_SIMD_SCALAR = 0;  // the plain reference code
inline constexpr int32_t GX_SIMD_SSE2 = 1;    // 128-bit integer vectors
inline constexpr int32_t GX_SIMD_AVX2 = 2;    // 256-bit vectors and gathers
// AVX-512 F, BW and VL (masks, word permutes), on processors with VBMI.
inline constexpr int32_t GX_SIMD_AVX512 = 3;

// The highest level this processor (and this build) can run.
int32_t gx_simd_supported();
// The level in force; the first call selects gx_simd_supported().
int32_t gx_simd_level();
// Selects a level, lowered to what is supported; returns the level now in
// force. Meant for tests and benchmarks: the library picks one by itself.
int32_t gx_simd_select(int32_t level);
