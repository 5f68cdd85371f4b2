// Which vector level the processor probe reports. Every x86 build has SSE2
// (x86-64 always, 32-bit x86 is built with -msse2); every other processor
// has the scalar level alone, whatever is asked for. The level tests skip
// themselves where there is nothing to compare, so a probe that found
// nothing on x86 would go unnoticed without this.
#include <gtest/gtest.h>

#include <algorithm>

#include "gfx/simd.h"

TEST(VectorLevels, X86HasSse2AndOtherProcessorsOnlyTheScalarLevel) {
#if defined(__x86_64__) || defined(__i386__)
    EXPECT_GE(gx_simd_supported(), GX_SIMD_SSE2);
#else
    EXPECT_EQ(gx_simd_supported(), GX_SIMD_SCALAR);
#endif
    EXPECT_EQ(gx_simd_select(GX_SIMD_AVX2), std::min(gx_simd_supported(), GX_SIMD_AVX2));
    EXPECT_EQ(gx_simd_level(), std::min(gx_simd_supported(), GX_SIMD_AVX2));
}
