// What decides, per span and per run, which path draws it: spans the depth
// test hides whole are skipped, and only runs whose texels and depths stay
// in range (and whose texels can be read four bytes at a time) go to the
// vector kernels. Each case is checked at every level against values worked
// out by hand.
#include <cstring>
#include <vector>

#include "fixture.h"
#include "gfx/row_rule.h"
#include "gfx/simd.h"

namespace {

class KernelPaths : public RasterTest {
protected:
    void TearDown() override {
        gx_simd_select(gx_simd_supported());
        RasterTest::TearDown();
    }
};

// Redrawing a polygon over its own depth words hides every pixel; with
// single words lowered beforehand, exactly those pixels must be drawn again,
// wherever they fall in the span: first or last pixel, either end of the
// first run, deep in a later batch of runs.
TEST_F(KernelPaths, HiddenSpansStillDrawTheirPixelsInFront) {
    constexpr int32_t WIDTH = 640;
    constexpr int32_t ROWS = 8;
    // Columns 10..629 on every row: 620 pixels, nineteen full runs of 32 and
    // one of 12. One lowered word per row.
    const int32_t lowered[ROWS] = {10, 41, 42, 300, 587, 600, 628, 629};
    const std::vector<ScreenPoint> quad = {{10, 0}, {630, 0}, {630, ROWS}, {10, ROWS}};
    const std::vector<TexCoord> texcoords = {{0, 0}, {63, 0}, {63, 63}, {0, 63}};
    const std::vector<double> z = {60.0, 100.0, 100.0, 60.0};

    for (int32_t level = GX_SIMD_SCALAR; level <= gx_simd_supported(); ++level) {
        SCOPED_TRACE(level);
        gx_simd_select(level);
        open_canvas(16, WIDTH, ROWS);
        use_texture(64, 64);
        new_frame();
        draw(Mapper::PerspDepth, quad, texcoords, z);
        std::vector<uint32_t> first_pixels;
        std::vector<uint32_t> first_words;
        for (int32_t y = 0; y < ROWS; ++y) {
            for (int32_t x = 0; x < WIDTH; ++x) {
                first_pixels.push_back(pixel(x, y));
                first_words.push_back(depth_word(x, y));
            }
        }
        ASSERT_EQ(drawn_count(), 620 * ROWS);

        // Over its own words the polygon is hidden everywhere.
        clear_pixels();
        draw(Mapper::PerspDepth, quad, texcoords, z);
        EXPECT_EQ(drawn_count(), 0);

        for (int32_t y = 0; y < ROWS; ++y) {
            *gx_depth_word(lowered[y], y) = 0;
        }
        draw(Mapper::PerspDepth, quad, texcoords, z);
        EXPECT_EQ(drawn_count(), ROWS);
        for (int32_t y = 0; y < ROWS; ++y) {
            const auto at = static_cast<size_t>(y * WIDTH + lowered[y]);
            EXPECT_EQ(pixel(lowered[y], y), first_pixels[at]) << "row " << y;
            EXPECT_EQ(depth_word(lowered[y], y), first_words[at]) << "row " << y;
        }
        close_canvas();
    }
}

// 1/z of 2 is beyond the 8.24 depth range: every depth word is held at
// 0xFFFFFF below the stamp, which only the plain clamped loop does.
TEST_F(KernelPaths, DepthsBeyondTheRangeAreHeldAtTheLargest) {
    const std::vector<ScreenPoint> quad = {{0, 0}, {100, 0}, {100, 8}, {0, 8}};
    const std::vector<TexCoord> texcoords = {{0, 0}, {63, 0}, {63, 63}, {0, 63}};
    for (int32_t level = GX_SIMD_SCALAR; level <= gx_simd_supported(); ++level) {
        SCOPED_TRACE(level);
        gx_simd_select(level);
        open_canvas(16, 128, 8);
        use_texture(64, 64);
        new_frame();
        draw(Mapper::PerspDepth, quad, texcoords, {0.5, 0.5, 0.5, 0.5});
        EXPECT_EQ(drawn_count(), 100 * 8);
        for (int32_t x = 0; x < 100; ++x) {
            ASSERT_EQ(depth_word(x, 3), gx_state.depth_stamp + 0xFFFFFFu) << "column " << x;
        }
        close_canvas();
    }
}

// The last texel of a 64 x 64 texture of 3-byte texels lies 3 bytes before
// its end: a kernel reading it as a 4-byte word would read past it (the
// sanitizer build sees that, the texture here being a block of exactly its
// size).
TEST_F(KernelPaths, TheLastTexelIsReadWithinTheTexture) {
    std::vector<uint8_t> texels(64 * 64 * 3);
    for (size_t i = 0; i < texels.size(); i += 3) {
        texels[i] = static_cast<uint8_t>(i / 3 % 64);      // column
        texels[i + 1] = static_cast<uint8_t>(i / 3 / 64);  // row
        texels[i + 2] = 0x5A;
    }
    // Texels 48..63 of the last row magnified four times onto 64 pixels.
    const std::vector<ScreenPoint> quad = {{0, 0}, {64, 0}, {64, 4}, {0, 4}};
    const std::vector<TexCoord> texcoords = {{48, 63}, {63, 63}, {63, 63}, {48, 63}};
    for (int32_t level = GX_SIMD_SCALAR; level <= gx_simd_supported(); ++level) {
        SCOPED_TRACE(level);
        gx_simd_select(level);
        open_canvas(32, 64, 4);
        const int32_t slot = gx_texture_define(texels.data(), 64, 64);
        ASSERT_GE(slot, 0);
        gx_texture_select(slot);
        for (const Mapper mapper : {Mapper::PerspDepth, Mapper::Persp}) {
            new_frame();
            clear_pixels();
            draw(mapper, quad, texcoords, {50.0, 50.0, 50.0, 50.0});
            // The first pixels show texel 48 of row 63, the last texel 63.
            EXPECT_EQ(pixel(0, 1), 0x005A3F30u) << mapper_name(mapper);
            EXPECT_EQ(pixel(63, 1), 0x005A3F3Fu) << mapper_name(mapper);
        }
        gx_texture_undefine(slot);
        close_canvas();
    }
}

}  // namespace
