// Presentation read back from the headless client image (0x00RRGGBB, row 0
// at the top); the shared stretch's other pixel formats; vector levels.
#include <algorithm>
#include <random>
#include <vector>

#include "fixture.h"
#include "gfx/simd.h"
#include "platform/portable/portable.h"

namespace {

class Present : public Started {
protected:
    std::vector<uint32_t> window() {
        int32_t w = 0, h = 0;
        const uint32_t* image = headless_client_image(window_, &w, &h);
        return {image, image + static_cast<ptrdiff_t>(w) * h};
    }

    // Pixel (x, y) as shown: 5/6-bit levels widened by repeating top bits.
    uint32_t colour(int64_t x, int64_t y, int32_t depth) {
        const uint8_t* p = at(static_cast<int32_t>(x), static_cast<int32_t>(y), depth / 8);
        if (depth != 16) return uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
        const uint32_t v = p[0] | uint32_t{p[1]} << 8, r = v >> 11, g = (v >> 5) & 63, b = v & 31;
        return (r << 3 | r >> 2) << 16 | (g << 2 | g >> 4) << 8 | (b << 3 | b >> 2);
    }
};

// Random buffers at every depth and vector level (x86: SSE2 at least), all
// kinds of rectangles:
// the window equals a nearest-pixel model (pixel centres scaled; nothing for
// extents below 1 or beyond 32 bits). Nothing without a buffer.
TEST_F(Present, WholeWindowMatchesTheNearestPixelModel) {
#if defined(__x86_64__) || defined(__i386__)       // or a probe finding nothing would go unnoticed
    EXPECT_GE(gx_simd_supported(), GX_SIMD_SSE2);  // 32-bit x86 is built with -msse2
#endif
    EXPECT_EQ(gx_simd_select(99), gx_simd_supported());
    headless_resize_window_dc(window_, 64, 48);
    constexpr int32_t L = INT32_MIN, H = INT32_MAX, G = 1000000000;
    // source x1, x2, y1, y2; destination x1, x2, y1, y2 (inclusive)
    const int32_t rects[][8] = {{0, 39, 0, 29, 0, 39, 0, 29},   {0, 39, 0, 29, 0, 63, 0, 47},
                                {3, 9, 2, 6, 5, 30, 1, 40},     {0, 39, 0, 29, -7, 50, -5, 60},
                                {30, 45, 25, 33, 0, 20, 0, 10}, {-4, 20, -3, 10, 10, 19, 10, 15},
                                {0, 39, 0, 29, 60, 69, 40, 49}, {0, 2, 0, 0, 0, 4, 47, 47},
                                {0, 4, 0, 0, 10, 12, 20, 20},   {36, 43, 0, 1, 1, 8, 30, 31},
                                {0, 39, 0, 29, 0, 79, 0, 59},   {0, 39, 0, 29, 64, 70, 0, 47},
                                {40, 50, 0, 29, 0, 63, 0, 47},  {0, 39, 0, 29, -G, G, -G, G},
                                {-G, G, -G, G, 0, 63, 0, 47},   {0, 39, 0, 29, 10, 9, 0, 47},
                                {0, 39, 0, 29, 0, 63, 5, 0},    {5, 0, 0, 29, 0, 63, 0, 47},
                                {0, 39, 29, 0, 0, 63, 0, 47},   {L, H, 0, 29, 0, 63, 0, 47},
                                {0, 39, 0, 29, L, H, 0, 47},    {0, 39, L, 29, 0, 63, 0, 47}};
    std::mt19937 random(5);
    for (int32_t k = 0; k < 3 * (gx_simd_supported() + 1); ++k) {
        const int32_t level = k / 3, depth = 16 + 8 * (k % 3);
        gx_simd_select(level);
        open_buffer(depth, 40, 30);
        for (int32_t i = 0; i < gx_state.active_size; ++i)
            gx_state.active_pixels[i] = static_cast<uint8_t>(random());
        std::vector<uint32_t> want = window();
        for (const auto& r : rects) {
            int64_t n[4];  // source width, height, destination width, height
            for (int k = 0; k < 4; ++k) n[k] = int64_t{r[2 * k + 1]} - r[2 * k] + 1;
            if (std::all_of(n, n + 4, [](int64_t v) { return v >= 1 && v <= INT32_MAX; }))
                for (int64_t y = std::max(0, r[6]); y <= std::min(47, r[7]); ++y)
                    for (int64_t x = std::max(0, r[4]); x <= std::min(63, r[5]); ++x) {
                        const int64_t col = r[0] + (2 * (x - r[4]) + 1) * n[0] / (2 * n[2]);
                        const int64_t row = r[2] + (2 * (y - r[6]) + 1) * n[1] / (2 * n[3]);
                        if (col >= 0 && col < 40 && row >= 0 && row < 30)
                            want[static_cast<size_t>(y * 64 + x)] = colour(col, row, depth);
                    }
            EXPECT_EQ(gx_buffer_scale_blit(r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7]), 0);
            ASSERT_EQ(window(), want)
                << depth << " bits, level " << level << ", rectangle " << &r - rects;
        }
    }
    gx_simd_select(gx_simd_supported());
    gx_buffer_close();
    const int32_t presented = headless_present_count(window_);
    EXPECT_EQ(gx_buffer_scale_blit(0, 39, 0, 29, 0, 63, 0, 47), 0);  // nothing open
    EXPECT_EQ(headless_present_count(window_), presented);
}

// 8-bit buffers show the palette on deep and palette screens, and changes.
TEST_F(Present, EightBitBuffersOnDeepAndPaletteScreens) {
    palette_ = gx_create_palette();
    for (const int32_t bits : {32, 8}) {
        gx_buffer_close();
        gx_buffer_free(-1);
        gx_shutdown();
        headless_set_screen(bits, 1);
        gx_initialize();
        gx_realize_palette(palette_);
        open_buffer(8, 4, 1);
        const uint8_t pixels[4] = {249, 30, 16, 0};  // (255, 0, 0), (0, 0, 255), (170, 85, 0)
        std::memcpy(at(0, 0, 1), pixels, 4);
        gx_buffer_scale_blit(0, 3, 0, 0, 0, 3, 0, 0);
        const std::vector<uint32_t> want = {0xFF0000, 0x0000FF, 0xAA5500, 0};
        EXPECT_TRUE(std::equal(want.begin(), want.end(), window().begin())) << bits;
        const uint8_t c[6] = {1, 2, 3, 170, 85, 0};
        gx_set_palette(16, 1, c);
        gx_buffer_scale_blit(0, 3, 0, 0, 0, 3, 0, 0);
        EXPECT_EQ(window()[2], 0x010203u) << bits;
        gx_set_palette(16, 1, c + 3);
    }
}

// Other formats by hand: 5-5-5, 10-bit masks, 8 bits with few colours.
TEST(Stretch, PixelFormats) {
    // clang-format off
    const struct { uint16_t bits; uint32_t compression, colors_used, rest[3]; uint8_t pixels[16];
                   uint32_t want[4]; } cases[] = {
        {16, PF_BI_RGB, 0, {}, {0xFF, 0x7F, 0x21, 0x04, 0x43, 0x04, 0, 0x80},
         {0xFFFFFF, 0x080808, 0x081018, 0}},
        {32, PF_BI_BITFIELDS, 0, {0x3FF, 0xFFC00, 0x3FF00000},
         {0xFF, 0, 0xF8, 0x3F, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0xC0},
         {0x3F80FF, 0xFFFFFF, 0, 0}},
        {8, PF_BI_RGB, 2, {0xFF112233, 0x445566, 0x778899}, {1, 0, 2, 255},
         {0x445566, 0x112233, 0, 0}},
        {8, PF_BI_BITFIELDS, 0, {0xFF112233, 0x445566, 0x778899}, {2, 1, 0, 3},
         {0x778899, 0x445566, 0x112233, 0}}};
    // clang-format on
    for (const auto& c : cases) {
        struct {
            PfBitmapInfoHeader info;
            uint32_t rest[256] = {};  // masks or a colour part
        } h{{40, 4, 1, 1, c.bits, c.compression, 0, 0, 0, c.colors_used, 0}};
        std::copy(c.rest, c.rest + 3, h.rest);
        uint32_t image[4] = {};
        int32_t columns[4];
        EXPECT_EQ(pf_portable_stretch({image, 4, 1, columns}, 0, 0, 4, 1, 0, 0, 4, 1, c.pixels, &h,
                                      PF_DIB_RGB_COLORS, nullptr, 0),
                  1);
        EXPECT_EQ(std::vector(image, image + 4), std::vector(c.want, c.want + 4)) << c.bits;
    }
}

}  // namespace
