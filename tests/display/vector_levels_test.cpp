// Which vector levels the two probes (the library's fast paths and the
// portable stretch) report. Every x86 build has SSE2 (x86-64 always, 32-bit
// x86 is built with -msse2); every other processor has the scalar level
// alone, whatever is asked for. The level tests skip themselves where there
// is nothing to compare, so a probe that found nothing on x86 would go
// unnoticed without this.
#include <gtest/gtest.h>

#include "gfx/simd.h"
#include "platform/portable/portable.h"

TEST(VectorLevels, X86HasSse2AndOtherProcessorsOnlyTheScalarLevel) {
#if defined(__x86_64__) || defined(__i386__)
    const bool x86 = true;
#else
    const bool x86 = false;
#endif
    const int32_t library = gx_simd_supported();
    const int32_t stretch = pf_portable_stretch_select(2);
    if (x86) {
        EXPECT_GE(library, GX_SIMD_SSE2);
        EXPECT_GE(stretch, 1);
    } else {
        EXPECT_EQ(library, GX_SIMD_SCALAR);
        EXPECT_EQ(stretch, 0);
    }
    EXPECT_EQ(library, stretch);  // both probes ask the same processor
    EXPECT_EQ(gx_simd_select(GX_SIMD_AVX2), library);
    EXPECT_EQ(gx_simd_level(), library);
}
