// The shared stretch: pixel formats presentation never produces, and the
// vector paths against the plain per-pixel path (scaling, clipping and bad
// rectangles against a nearest-pixel model: present_test.cpp).
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
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
// found nothing on x86 would let the comparison below skip unnoticed.
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

// At every level the processor supports, random bitmaps of every format
// stretched onto random rectangles (enlarging as presentation does, also
// shrinking, partly outside the image or the bitmap) give level 0's image.
TEST(VectorLevels, EveryLevelGivesThePlainPathsImage) {
    const int32_t supported = gx_simd_select(gx_simd_supported());
    if (supported == 0) GTEST_SKIP() << "no vector level on this processor";
    std::mt19937 random(99);
    const auto uniform = [&](int32_t low, int32_t high) {
        return std::uniform_int_distribution<int32_t>(low, high)(random);
    };
    std::vector<PfPaletteEntry> palette(256);
    for (PfPaletteEntry& e : palette)
        e = {static_cast<uint8_t>(random()), static_cast<uint8_t>(random()),
             static_cast<uint8_t>(random()), 0};
    // No masks, the buffers' own, or some other layout.
    const uint32_t masks[2][2][3] = {{{0xF800, 0x07E0, 0x001F}, {0x001F, 0x03E0, 0x7C00}},
                                     {{0xFF0000, 0xFF00, 0xFF}, {0x3FF, 0xFFC00, 0x3FF00000}}};
    for (int32_t trial = 0; trial < 1500; ++trial) {
        const int32_t bits = std::vector{8, 16, 16, 16, 24, 32, 32}[random() % 7];
        const int32_t width = uniform(1, 90), height = uniform(1, 40);
        Header header{
            {40, width, height, 1, static_cast<uint16_t>(bits), PF_BI_RGB, 0, 0, 0, 0, 0}};
        for (uint32_t& b : header.rest) b = static_cast<uint32_t>(random());
        uint32_t usage = PF_DIB_RGB_COLORS;
        if (bits == 8) {
            usage = random() % 2 == 0 ? PF_DIB_RGB_COLORS : PF_DIB_PAL_COLORS;
            header.info.colors_used = random() % 3 == 0 ? static_cast<uint32_t>(uniform(1, 256))
                                                        : 0;
        } else if (bits == 16 || bits == 32) {
            const uint32_t kind = random() % 3u;
            if (kind != 0) header.info.compression = PF_BI_BITFIELDS;
            std::copy_n(masks[bits == 32][kind == 2], 3, header.rest);
        }
        std::vector<uint8_t> pixels((static_cast<size_t>(width) * bits + 31) / 32 * 4 * height);
        for (uint8_t& b : pixels) b = static_cast<uint8_t>(random());
        const int32_t image_w = uniform(1, 300), image_h = uniform(1, 60);
        const bool enlarging = random() % 4 != 0;
        const int32_t src_w = uniform(1, width + 4), src_h = uniform(1, height + 4);
        const int32_t dst_w = enlarging ? uniform(src_w, src_w * 5) : uniform(1, src_w);
        const int32_t dst_h = uniform(1, 80);
        const int32_t dst_x = uniform(-dst_w / 2, image_w / 2),
                      dst_y = uniform(-dst_h / 2, image_h / 2);
        const int32_t src_x = uniform(-3, width - 1), src_y = uniform(-3, height - 1);
        const auto draw = [&](int32_t level) {
            EXPECT_EQ(gx_simd_select(level), level);
            std::vector<uint32_t> image(static_cast<size_t>(image_w) * image_h, 0xDEADBEEF);
            std::vector<int32_t> columns(static_cast<size_t>(image_w));
            image.push_back(static_cast<uint32_t>(pf_portable_stretch(
                {image.data(), image_w, image_h, columns.data()}, dst_x, dst_y, dst_w, dst_h, src_x,
                src_y, src_w, src_h, pixels.data(), &header, usage, palette.data(), 256)));
            return image;
        };
        const std::vector<uint32_t> want = draw(0);
        for (int32_t level = 1; level <= supported; ++level)
            ASSERT_EQ(draw(level), want) << "trial " << trial << ", level " << level;
    }
    gx_simd_select(supported);
}

}  // namespace
