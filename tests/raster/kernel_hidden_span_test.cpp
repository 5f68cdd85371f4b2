// Spans the depth test hides whole are skipped before their runs are set
// up. Redrawing a polygon over its own depth words hides every pixel; with
// single words lowered beforehand, exactly those pixels must be drawn again,
// wherever they fall in the span: first or last pixel, either end of the
// first run, deep in a later batch of runs.
#include <vector>

#include "fixture.h"
#include "gfx/row_rule.h"
#include "gfx/simd.h"

namespace {

class HiddenSpans : public RasterTest {
protected:
    void TearDown() override {
        gx_simd_select(gx_simd_supported());
        RasterTest::TearDown();
    }
};

TEST_F(HiddenSpans, OnlyThePixelsInFrontAreDrawnAgain) {
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

}  // namespace
