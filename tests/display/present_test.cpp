// Presentation: what the window shows after gx_buffer_scale_blit, read back
// from the headless client image (0x00RRGGBB, row 0 at the top).
#include "fixture.h"

namespace {

class Present : public Started {
protected:
    uint32_t shown(int32_t x, int32_t y) {
        int32_t w = 0, h = 0;
        const uint32_t* image = headless_client_image(window_, &w, &h);
        return image[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)];
    }

    void put16(int32_t x, int32_t y, uint16_t v) { std::memcpy(at(x, y, 2), &v, 2); }
    void put32(int32_t x, int32_t y, uint32_t v) { std::memcpy(at(x, y, 4), &v, 4); }

    // A 16-bit 640 x 480 buffer whose pixel (x, y) is (x mod 32) in blue and
    // (y mod 64) in green, and red 31 on row 0.
    void coordinate_buffer() {
        open_buffer(16, 640, 480);
        for (int32_t y = 0; y < 480; ++y)
            for (int32_t x = 0; x < 640; ++x)
                put16(x, y,
                      static_cast<uint16_t>((y == 0 ? 31 << 11 : 0) | (y % 64) << 5 | (x % 32)));
    }

    // What the coordinate buffer's pixel (x, y) shows as: every channel
    // widened by repeating its bits.
    static uint32_t widened(int32_t x, int32_t y) {
        const uint32_t r5 = y == 0 ? 31 : 0, g6 = static_cast<uint32_t>(y % 64),
                       b5 = static_cast<uint32_t>(x % 32);
        return (r5 << 3 | r5 >> 2) << 16 | (g6 << 2 | g6 >> 4) << 8 | (b5 << 3 | b5 >> 2);
    }

    // Window rows 0 to rows - 1 show the coordinate buffer's, the rest nothing.
    void expect_rows_shown(int32_t rows) {
        for (int32_t y = 0; y < 480; ++y)
            for (int32_t x = 0; x < 640; ++x)
                ASSERT_EQ(shown(x, y), y < rows ? widened(x, y) : 0u) << x << "," << y;
    }
};

// Rows 0 to 99 of the 480-row buffer (source bottom row 380 in the
// bottom-up bitmap) land on window rows 0 to 99; then the whole buffer 1:1.
TEST_F(Present, OneToOneShowsEveryPixelWidenedRowsFromTheTop) {
    coordinate_buffer();
    gx_buffer_scale_blit(0, 639, 0, 99, 0, 639, 0, 99);
    expect_rows_shown(100);
    gx_buffer_scale_blit(0, 639, 0, 479, 0, 639, 0, 479);
    EXPECT_EQ(headless_present_count(window_), 2);
    expect_rows_shown(480);
}

TEST_F(Present, SixteenBitWideningByBitReplication) {
    open_buffer(16, 4, 1);
    put16(0, 0, 0xFFFF);
    put16(1, 0, 0x0821);
    put16(2, 0, 0x7BEF);
    put16(3, 0, 0xF800);
    gx_buffer_scale_blit(0, 3, 0, 0, 0, 3, 0, 0);
    const uint32_t want[5] = {0x00FFFFFFu, 0x00080408u, 0x007B7D7Bu, 0x00FF0000u,
                              0u};  // the last outside
    for (int32_t x = 0; x < 5; ++x) EXPECT_EQ(shown(x, 0), want[x]) << x;
}

// The whole buffer onto larger windows. Nearest pixel: window column d shows
// column floor((d + 0.5) * 640 / width), and the same for rows.
TEST_F(Present, WholeBufferOntoLargerWindows) {
    coordinate_buffer();
    for (const auto& size : {std::pair{800, 600}, std::pair{1280, 960}}) {
        const int32_t w = size.first, h = size.second;
        headless_resize_window_dc(window_, w, h);
        gx_buffer_scale_blit(0, 639, 0, 479, 0, w - 1, 0, h - 1);
        for (int32_t y : {0, 1, 2, 3, 100, 101, h - 2, h - 1})
            for (int32_t x : {0, 1, 2, 3, 4, 5, 63, 64, w - 2, w - 1})
                ASSERT_EQ(shown(x, y),
                          widened((2 * x + 1) * 640 / (2 * w), (2 * y + 1) * 480 / (2 * h)))
                    << w << "x" << h << ": " << x << "," << y;
        if (w == 800) {  // by hand: floor(3.5 * 0.8) = 2, floor(599.5 * 0.8) = 479
            EXPECT_EQ(shown(0, 3), widened(0, 2));
            EXPECT_EQ(shown(0, 599), widened(0, 479));
        } else {  // every pixel doubled
            EXPECT_EQ(shown(3, 3), widened(1, 1));
            EXPECT_EQ(shown(1279, 959), widened(639, 479));
        }
    }
}

TEST_F(Present, NonIntegerScales) {
    open_buffer(32, 8, 1);
    for (int32_t x = 0; x < 8; ++x) put32(x, 0, 0x00010000u * static_cast<uint32_t>(x + 1));
    // Three source columns onto five: 0, 0, 1, 2, 2.
    gx_buffer_scale_blit(0, 2, 0, 0, 0, 4, 0, 0);
    const uint32_t up[5] = {0x10000, 0x10000, 0x20000, 0x30000, 0x30000};
    for (int32_t d = 0; d < 5; ++d) EXPECT_EQ(shown(d, 0), up[d]) << d;
    // Five onto three: 0, 2, 4.
    gx_buffer_scale_blit(0, 4, 0, 0, 10, 12, 0, 0);
    EXPECT_EQ(shown(10, 0), 0x10000u);
    EXPECT_EQ(shown(11, 0), 0x30000u);
    EXPECT_EQ(shown(12, 0), 0x50000u);
}

TEST_F(Present, ClippedToTheWindowAndTheBitmap) {
    open_buffer(32, 8, 2);
    for (int32_t y = 0; y < 2; ++y)
        for (int32_t x = 0; x < 8; ++x) put32(x, y, static_cast<uint32_t>(0x100 * y + x + 1));
    // Destination starting left of and above the window.
    gx_buffer_scale_blit(0, 7, 0, 1, -3, 4, -1, 0);
    EXPECT_EQ(shown(0, 0), 0x104u);
    EXPECT_EQ(shown(4, 0), 0x108u);
    EXPECT_EQ(shown(5, 0), 0u);
    EXPECT_EQ(shown(0, 1), 0u);
    // Source columns 6 to 9, of which 8 and 9 do not exist: only two shown.
    gx_buffer_scale_blit(6, 9, 0, 0, 100, 103, 10, 10);
    EXPECT_EQ(shown(100, 10), 7u);
    EXPECT_EQ(shown(101, 10), 8u);
    EXPECT_EQ(shown(102, 10), 0u);
    EXPECT_EQ(shown(103, 10), 0u);
    // Beyond the right and bottom edges of the window.
    gx_buffer_scale_blit(0, 7, 0, 1, 636, 643, 478, 479);
    EXPECT_EQ(shown(639, 478), 4u);
    EXPECT_EQ(shown(639, 479), 0x104u);
}

TEST_F(Present, EmptyOrInvertedRectanglesDrawNothing) {
    coordinate_buffer();
    gx_buffer_scale_blit(0, 639, 0, 479, 10, 9, 0, 479);
    gx_buffer_scale_blit(0, 639, 0, 479, 0, 639, 5, 0);
    gx_buffer_scale_blit(5, 0, 0, 479, 0, 639, 0, 479);
    gx_buffer_scale_blit(0, 639, 479, 0, 0, 639, 0, 479);
    gx_buffer_scale_blit(INT32_MIN, INT32_MAX, 0, 479, 0, 639, 0, 479);
    gx_buffer_scale_blit(0, 639, 0, 479, INT32_MIN, INT32_MAX, 0, 479);
    for (int32_t y = 0; y < 480; y += 7)
        for (int32_t x = 0; x < 640; x += 7) ASSERT_EQ(shown(x, y), 0u);
}

TEST_F(Present, NothingWithoutAnOpenBuffer) {
    coordinate_buffer();
    gx_buffer_close();
    gx_buffer_scale_blit(0, 639, 0, 479, 0, 639, 0, 479);
    EXPECT_EQ(headless_present_count(window_), 0);
    EXPECT_EQ(shown(0, 0), 0u);
}

TEST_F(Present, TwentyFourAndThirtyTwoBitPixels) {
    open_buffer(24, 4, 2);
    uint8_t* p = at(1, 1, 3);
    p[0] = 0x33;
    p[1] = 0x22;
    p[2] = 0x11;
    gx_buffer_scale_blit(0, 3, 0, 1, 0, 3, 0, 1);
    EXPECT_EQ(shown(1, 1), 0x00112233u);
    EXPECT_EQ(shown(1, 0), 0u);
    open_buffer(32, 4, 2);
    put32(2, 0, 0xFF445566);  // the fourth byte carries no colour
    gx_buffer_scale_blit(0, 3, 0, 1, 0, 3, 0, 1);
    EXPECT_EQ(shown(2, 0), 0x00445566u);
}

TEST_F(Present, EightBitBufferOnADeepScreen) {
    palette_ = gx_create_palette();
    open_buffer(8, 4, 1);
    at(0, 0, 1)[0] = 249;  // (255, 0, 0)
    at(1, 0, 1)[0] = 30;   // (0, 0, 255)
    at(2, 0, 1)[0] = 16;   // (170, 85, 0)
    gx_buffer_scale_blit(0, 3, 0, 0, 0, 3, 0, 0);
    EXPECT_EQ(shown(0, 0), 0x00FF0000u);
    EXPECT_EQ(shown(1, 0), 0x000000FFu);
    EXPECT_EQ(shown(2, 0), 0x00AA5500u);
    // A palette change reaches the colour part, and so the window.
    const uint8_t c[3] = {1, 2, 3};
    gx_set_palette(249, 1, c);
    gx_buffer_scale_blit(0, 3, 0, 0, 0, 3, 0, 0);
    EXPECT_EQ(shown(0, 0), 0x00010203u);
}

TEST_F(Present, EightBitBufferOnAPaletteScreenFollowsTheRealizedPalette) {
    headless_set_screen(8, 1);
    gx_shutdown();
    gx_initialize();
    palette_ = gx_create_palette();
    gx_realize_palette(palette_);
    open_buffer(8, 4, 1);
    at(0, 0, 1)[0] = 16;
    gx_buffer_scale_blit(0, 3, 0, 0, 0, 3, 0, 0);
    EXPECT_EQ(shown(0, 0), 0x00AA5500u);
    // Animated entries show at the next presentation without realizing again.
    const uint8_t c[3] = {9, 8, 7};
    gx_set_palette(16, 1, c);
    gx_buffer_scale_blit(0, 3, 0, 0, 0, 3, 0, 0);
    EXPECT_EQ(shown(0, 0), 0x00090807u);
}

}  // namespace
