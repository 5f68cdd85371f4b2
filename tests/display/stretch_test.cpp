// The shared stretch: pixel formats presentation never produces, and the
// vector levels (scaling, clipping and bad rectangles at every level against
// a nearest-pixel model: present_test.cpp).
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "gfx/simd.h"
#include "platform/portable/portable.h"

namespace {

// A bitmap header with room for masks or a colour part behind the info.
struct Header {
    PfBitmapInfoHeader info{};
    uint32_t rest[256] = {};
};

// One row of four pixels at 1:1 against colours worked out by hand: 5-5-5
// (top bit unused), other masks (16 bits: the generic path; 32 bits: the top
// 8 bits of 10-bit levels), 8 bits with a colour part of fewer than 256
// colours (black beyond) or of all 256.
TEST(Stretch, PixelFormats) {
    const struct {
        uint16_t bits;
        uint32_t compression, colors_used, rest[3];
        uint8_t pixels[16];
        uint32_t want[4];
    } cases[] = {
        // clang-format off
        {16, PF_BI_RGB, 0, {}, {0xFF, 0x7F, 0x21, 0x04, 0x43, 0x04, 0, 0x80},
         {0xFFFFFF, 0x080808, 0x081018, 0}},
        {16, PF_BI_BITFIELDS, 0, {0x1F, 0x7E0, 0xF800}, {0x1F, 0, 0xE0, 7, 0, 0xF8, 0x21, 8},
         {0xFF0000, 0xFF00, 0xFF, 0x080408}},
        {32, PF_BI_BITFIELDS, 0, {0x3FF, 0xFFC00, 0x3FF00000},
         {0xFF, 0, 0xF8, 0x3F, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0xC0},
         {0x3F80FF, 0xFFFFFF, 0, 0}},
        {32, PF_BI_RGB, 0, {}, {0x66, 0x55, 0x44, 0xFF, 1, 2, 3, 4}, {0x445566, 0x030201, 0, 0}},
        {24, PF_BI_RGB, 0, {}, {0x33, 0x22, 0x11, 0x66, 0x55, 0x44, 0, 0, 0, 0xFF, 0xFF, 0xFF},
         {0x112233, 0x445566, 0, 0xFFFFFF}},
        {8, PF_BI_RGB, 2, {0xFF112233, 0x445566, 0x778899}, {1, 0, 2, 255},
         {0x445566, 0x112233, 0, 0}},
        {8, PF_BI_RGB, 0, {0xFF112233, 0x445566, 0x778899}, {2, 1, 0, 3},
         {0x778899, 0x445566, 0x112233, 0}}};
    // clang-format on
    for (const auto& c : cases) {
        Header h{{40, 4, 1, 1, c.bits, c.compression, 0, 0, 0, c.colors_used, 0}};
        std::copy(c.rest, c.rest + 3, h.rest);
        uint32_t image[4] = {};
        int32_t columns[4];
        EXPECT_EQ(pf_portable_stretch({image, 4, 1, columns}, 0, 0, 4, 1, 0, 0, 4, 1, c.pixels, &h,
                                      PF_DIB_RGB_COLORS, nullptr, 0),
                  1);
        EXPECT_EQ(std::vector(image, image + 4), std::vector(c.want, c.want + 4)) << c.bits;
    }
}

// Every x86 build has SSE2 (x86-64 always, 32-bit x86 is built with -msse2);
// other processors have the scalar level alone. Without this a probe that
// found nothing on x86 would leave the vector paths untested unnoticed.
TEST(VectorLevels, X86HasSse2AndOtherProcessorsOnlyTheScalarLevel) {
#if defined(__x86_64__) || defined(__i386__)
    EXPECT_GE(gx_simd_supported(), GX_SIMD_SSE2);
#else
    EXPECT_EQ(gx_simd_supported(), GX_SIMD_SCALAR);
#endif
    EXPECT_EQ(gx_simd_select(GX_SIMD_AVX2), std::min(gx_simd_supported(), GX_SIMD_AVX2));
    EXPECT_EQ(gx_simd_level(), std::min(gx_simd_supported(), GX_SIMD_AVX2));
    gx_simd_select(gx_simd_supported());
}

}  // namespace
