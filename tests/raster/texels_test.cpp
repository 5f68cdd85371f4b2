// Depths held at the largest, and unknown buffer depths (beyond frames_test.cpp).
#include "fixture.h"
#include "gfx/simd.h"

namespace {

class Depth : public RasterTest, public ::testing::WithParamInterface<Mapper> {};

// z at 1 or below gives 1/z of 1.0 or more, which 24 bits cannot hold: the
// value is held at 0xFFFFFF and the stamp stays intact.
TEST_P(Depth, DepthsAtOrAboveOneAreHeldBelowTheStamp) {
    const Mapper mapper = GetParam();
    const std::vector<TexCoord> plain(4, TexCoord{9, 9});
    for (int32_t level = GX_SIMD_SCALAR; level <= gx_simd_supported(); ++level) {
        SCOPED_TRACE(level);
        gx_simd_select(level);
        open_canvas(16, 128, 64);
        use_texture(64, 64);
        draw(mapper, square(0, 0, 64), {{0, 0}, {63, 0}, {63, 63}, {0, 63}},
             {0.25, 64.0, 64.0, 0.25});
        const uint32_t stamp = gx_state.depth_stamp;
        for (int32_t y = 0; y < 64; ++y) {
            for (int32_t x = 0; x < 64; ++x)
                ASSERT_EQ(depth_word(x, y) & 0xFF000000u, stamp) << x << ", " << y;
        }
        EXPECT_EQ(depth_word(0, 0), stamp + 0xFFFFFFu);
        // Where the depth fits it is not changed: the perspective mapper clamps
        // per pixel, the affine one interpolates from the held vertex value
        // (0xFFFFFF + 63 * trunc((0x40000 - 0xFFFFFF) / 64)).
        EXPECT_EQ(depth_word(63, 0), stamp + (mapper == Mapper::PerspDepth ? 0x13F000u : 0x7F03Eu));
        // Still nearer than anything that fits: a z of 1.5 there loses.
        draw_flat(mapper, square(0, 0, 2), plain, 1.5);
        EXPECT_NE(pixel(0, 0), texel_value(9, 9));
        // Exactly z = 1 is also held.
        new_frame();
        draw_flat(mapper, square(0, 0, 4), plain, 1.0);
        EXPECT_EQ(depth_word(1, 1), gx_state.depth_stamp + 0xFFFFFFu);
        EXPECT_EQ(pixel(1, 1), texel_value(9, 9));
    }
}

INSTANTIATE_TEST_SUITE_P(DepthMappers, Depth,
                         ::testing::Values(Mapper::PerspDepth, Mapper::AffineDepth), param_name);

class PixelWrites : public RasterTest, public ::testing::WithParamInterface<Mapper> {};

// A depth the buffer code does not know is written as 8 bits per pixel.
TEST_P(PixelWrites, UnknownDepthIsWrittenAsEightBits) {
    open_canvas(16);
    use_texture(64, 64);
    gx_state.active_depth = 15;
    const std::vector<TexCoord> tex = {{0, 0}, {63, 0}, {63, 0}, {0, 0}};
    use_plain_texture(64, 1, 0x77);
    draw_flat(GetParam(), {{0, 0}, {64, 0}, {64, 1}, {0, 1}}, tex);
    gx_state.active_depth = 16;
    // Row 0 holds 64 bytes of 0x77: the first 32 pixels of the 16-bit view.
    for (int32_t x = 0; x < 32; ++x) ASSERT_EQ(pixel(x, 0), 0x7777u) << x;
    EXPECT_EQ(pixel(32, 0), background());
}

INSTANTIATE_TEST_SUITE_P(AllMappers, PixelWrites, ::testing::ValuesIn(ALL_MAPPERS), param_name);

}  // namespace
