// Picks the fast paths once: each module that has them is told the level,
// and keeps its own table of routines for it.
#include "gfx/simd.h"

#include "gfx/image/pcx_fast.h"
#include "gfx/raster/fast_paths.h"
#include "platform/platform.h"

namespace {

int32_t detect() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    // The AVX-512 paths need F, BW and VL. VBMI is asked for too, as the
    // mark of the generations that keep their clock on 512-bit integer
    // work: the first AVX-512 processors lower it, none was at hand to
    // measure, so they keep the AVX2 paths.
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi"))
        return GX_SIMD_AVX512;
    if (__builtin_cpu_supports("avx2")) return GX_SIMD_AVX2;
    if (__builtin_cpu_supports("sse2")) return GX_SIMD_SSE2;
#endif
    return GX_SIMD_SCALAR;
}

int32_t selected = -1;

}  // namespace

int32_t gx_simd_supported() {
    static const int32_t supported = detect();
    return supported;
}

int32_t gx_simd_select(int32_t level) {
    const int32_t supported = gx_simd_supported();
    if (level > supported) level = supported;
    if (level < GX_SIMD_SCALAR) level = GX_SIMD_SCALAR;
    selected = level;
    gx_raster::select_fast_paths(level);
    pcx::select_fast_paths(level);
    pf_select_vector_level(level);
    return level;
}

int32_t gx_simd_level() {
    if (selected < 0) gx_simd_select(gx_simd_supported());
    return selected;
}
