// The shared stretch against a plain per-pixel reference: every destination
// pixel computed on its own from the nearest-pixel rule and the pixel format.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/portable/portable.h"

namespace {

struct Bitmap {
    PfBitmapV4Header header{};
    std::vector<uint8_t> pixels;
    size_t pitch = 0;
};

Bitmap make(int32_t width, int32_t height, int32_t bits, uint32_t compression, uint32_t seed) {
    Bitmap b;
    b.header.info = {40, width, height, 1, static_cast<uint16_t>(bits), compression, 0, 0, 0, 0, 0};
    b.pitch = (static_cast<size_t>(width) * static_cast<size_t>(bits) + 31) / 32 * 4;
    b.pixels.resize(b.pitch * static_cast<size_t>(height));
    uint32_t x = seed;
    for (uint8_t& p : b.pixels) {
        x = x * 1103515245u + 12345u;
        p = static_cast<uint8_t>(x >> 16);
    }
    return b;
}

// A 5 or 6-bit level widened to 8 bits by repeating its top bits.
uint32_t rep(uint32_t v, uint32_t bits) { return v << (8 - bits) | v >> (2 * bits - 8); }

// The colour of memory row r (0 = bottom), column c.
uint32_t colour_at(const Bitmap& b, int32_t r, int32_t c) {
    const uint8_t* p = b.pixels.data() + static_cast<size_t>(r) * b.pitch;
    switch (b.header.info.bit_count) {
        case 16: {
            const uint32_t v = p[2 * c] | static_cast<uint32_t>(p[2 * c + 1]) << 8;
            if (b.header.info.compression == PF_BI_BITFIELDS)
                return rep(v >> 11, 5) << 16 | rep((v >> 5) & 63, 6) << 8 | rep(v & 31, 5);
            return rep((v >> 10) & 31, 5) << 16 | rep((v >> 5) & 31, 5) << 8 | rep(v & 31, 5);
        }
        case 24:
            return static_cast<uint32_t>(p[3 * c + 2]) << 16 |
                   static_cast<uint32_t>(p[3 * c + 1]) << 8 | p[3 * c];
        default:
            return static_cast<uint32_t>(p[4 * c + 2]) << 16 |
                   static_cast<uint32_t>(p[4 * c + 1]) << 8 | p[4 * c];
    }
}

void expect_matches_reference(const Bitmap& b, int32_t iw, int32_t ih, int32_t dx, int32_t dy,
                              int32_t dw, int32_t dh, int32_t sx, int32_t sy, int32_t sw,
                              int32_t sh) {
    std::vector<uint32_t> image(static_cast<size_t>(iw) * static_cast<size_t>(ih), 0xDEADBEEF);
    std::vector<int32_t> columns(static_cast<size_t>(iw));
    pf_portable_stretch({image.data(), iw, ih, columns.data()}, dx, dy, dw, dh, sx, sy, sw, sh,
                        b.pixels.data(), &b.header, PF_DIB_RGB_COLORS, nullptr, 0);
    for (int32_t y = 0; y < ih; ++y)
        for (int32_t x = 0; x < iw; ++x) {
            uint32_t want = 0xDEADBEEF;
            const int64_t i = x - dx, j = y - dy;
            if (i >= 0 && i < dw && j >= 0 && j < dh) {
                // Destination pixel centre i + 1/2 scaled into the source.
                const double cx = (static_cast<double>(i) + 0.5) * sw / dw;
                const double cy = (static_cast<double>(j) + 0.5) * sh / dh;
                const int64_t col = sx + static_cast<int64_t>(cx);
                const int64_t row = sy + sh - 1 - static_cast<int64_t>(cy);
                if (col >= 0 && col < b.header.info.width && row >= 0 && row < b.header.info.height)
                    want = colour_at(b, static_cast<int32_t>(row), static_cast<int32_t>(col));
            }
            ASSERT_EQ(
                image[static_cast<size_t>(y) * static_cast<size_t>(iw) + static_cast<size_t>(x)],
                want)
                << "pixel " << x << "," << y;
        }
}

TEST(Stretch, MatchesTheReferenceAtEveryDepthAndScale) {
    const struct {
        int32_t bits;
        uint32_t compression;
    } formats[] = {{16, PF_BI_BITFIELDS},
                   {16, PF_BI_RGB},
                   {24, PF_BI_RGB},
                   {32, PF_BI_RGB},
                   {32, PF_BI_BITFIELDS}};
    for (const auto& f : formats) {
        Bitmap b = make(13, 11, f.bits, f.compression, 7);
        if (f.compression == PF_BI_BITFIELDS) {
            b.header.red_mask = f.bits == 16 ? 0xF800 : 0xFF0000;
            b.header.green_mask = f.bits == 16 ? 0x07E0 : 0xFF00;
            b.header.blue_mask = f.bits == 16 ? 0x001F : 0xFF;
        }
        SCOPED_TRACE(f.bits);
        expect_matches_reference(b, 40, 30, 0, 0, 13, 11, 0, 0, 13, 11);    // 1:1
        expect_matches_reference(b, 40, 30, 1, 2, 26, 22, 0, 0, 13, 11);    // 2x
        expect_matches_reference(b, 40, 30, 3, 1, 37, 29, 0, 0, 13, 11);    // up, odd
        expect_matches_reference(b, 40, 30, 0, 0, 7, 5, 0, 0, 13, 11);      // down
        expect_matches_reference(b, 40, 30, 2, 3, 9, 6, 4, 2, 5, 7);        // part of the source
        expect_matches_reference(b, 20, 10, -5, -4, 31, 19, 0, 0, 13, 11);  // clipped by the image
        expect_matches_reference(b, 40, 30, 0, 0, 30, 25, -3, -2, 20,
                                 16);  // source beyond the bitmap
    }
}

TEST(Stretch, DecodesOtherThirtyTwoBitMasks) {
    Bitmap b = make(2, 1, 32, PF_BI_BITFIELDS, 1);
    b.header.red_mask = 0x000003FF;  // 10-bit channels, blue on top
    b.header.green_mask = 0x000FFC00;
    b.header.blue_mask = 0x3FF00000;
    const uint32_t pixel = 0x3FFu << 20 | 0x200u << 10 | 0x0FFu;
    std::memcpy(b.pixels.data(), &pixel, 4);
    uint32_t image[2] = {};
    int32_t columns[2];
    pf_portable_stretch({image, 2, 1, columns}, 0, 0, 1, 1, 0, 0, 1, 1, b.pixels.data(), &b.header,
                        PF_DIB_RGB_COLORS, nullptr, 0);
    EXPECT_EQ(image[0], 0x3F80FFu);  // top 8 bits of each 10-bit level
}

TEST(Stretch, EightBitColourParts) {
    struct {
        PfBitmapInfoHeader info{40, 4, 1, 1, 8, 0, 0, 0, 0, 2, 0};  // two colours used
        uint8_t quads[8] = {0x33, 0x22, 0x11, 0xFF, 0x66, 0x55, 0x44, 0x00};
    } header;
    const uint8_t pixels[4] = {1, 0, 2, 255};
    uint32_t image[4] = {};
    int32_t columns[4];
    pf_portable_stretch({image, 4, 1, columns}, 0, 0, 4, 1, 0, 0, 4, 1, pixels, &header,
                        PF_DIB_RGB_COLORS, nullptr, 0);
    EXPECT_EQ(image[0], 0x445566u);
    EXPECT_EQ(image[1], 0x112233u);
    EXPECT_EQ(image[2], 0u);  // beyond the colours used: black
    EXPECT_EQ(image[3], 0u);
}

TEST(Stretch, EmptyRectanglesDrawNothing) {
    const Bitmap b = make(4, 4, 32, PF_BI_RGB, 3);
    uint32_t image[16] = {};
    int32_t columns[4];
    const int32_t cases[][8] = {
        // destination x, y, w, h; source x, y, w, h
        {0, 0, 0, 4, 0, 0, 4, 4},
        {0, 0, 4, 0, 0, 0, 4, 4},
        {0, 0, 4, 4, 0, 0, 0, 4},
        {0, 0, 4, 4, 0, 0, 4, 0},
        {0, 0, -4, 4, 0, 0, 4, 4},
        {0, 0, 4, 4, 0, 0, -1, 4},
        // Wholly outside the image or the bitmap.
        {4, 0, 4, 4, 0, 0, 4, 4},
        {0, -4, 4, 4, 0, 0, 4, 4},
        {0, 0, 4, 4, 4, 0, 4, 4},
    };
    for (const auto& c : cases)
        EXPECT_EQ(pf_portable_stretch({image, 4, 4, columns}, c[0], c[1], c[2], c[3], c[4], c[5],
                                      c[6], c[7], b.pixels.data(), &b.header, 0, nullptr, 0),
                  0);
    for (uint32_t v : image) EXPECT_EQ(v, 0u);
}

TEST(Stretch, ExtremeScalesStayInRange) {
    Bitmap b = make(3, 2, 16, PF_BI_BITFIELDS, 5);
    b.header.red_mask = 0xF800;
    b.header.green_mask = 0x07E0;
    b.header.blue_mask = 0x001F;
    uint32_t image[8 * 4] = {};
    int32_t columns[8];
    // A huge destination rectangle, of which the image shows a corner.
    EXPECT_EQ(pf_portable_stretch({image, 8, 4, columns}, -1000000000, -1000000000, INT32_MAX,
                                  INT32_MAX, 0, 0, 3, 2, b.pixels.data(), &b.header, 0, nullptr, 0),
              4);
    // A huge source onto a few pixels: most fall outside the bitmap.
    pf_portable_stretch({image, 8, 4, columns}, 0, 0, 8, 4, INT32_MIN, INT32_MIN, INT32_MAX,
                        INT32_MAX, b.pixels.data(), &b.header, 0, nullptr, 0);
}

}  // namespace
