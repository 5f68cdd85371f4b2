// Bad 3D input that must draw nothing and touch nothing: inputs found by the
// polygon and buffer fuzz targets, and kinds listed in docs/robustness.md.
#include <initializer_list>
#include <utility>

#include "fixture.h"

namespace {

const std::initializer_list<uint32_t> ALL_FLAGS = {13, 9, 12, 8, 5, 1, 4, 0};
const std::initializer_list<uint32_t> CLIPPING_FLAGS = {13, 9, 12, 8};

// A 64 x 48 canvas with the object 100 ahead of the eye.
struct Bad3dInput : Gx3dTest {
    void SetUp() override {
        Gx3dTest::SetUp();
        open_canvas(64, 48);
        gx_3d_set_object(0, 0, 100, 0, 0, 0);
    }
    // A square of 40 x 40 model units around the camera axis (the last corner
    // at depth z), with each set of flags.
    static void draw(std::initializer_list<uint32_t> flags, uint32_t count = 4, double z = 0) {
        const Vertex3 v[4] = {{-20, 20, 0}, {20, 20, 0}, {20, -20, 0}, {-20, -20, z}};
        const TexCoord t[4] = {{0, 0}, {15, 0}, {15, 15}, {0, 15}};
        for (uint32_t f : flags) {
            gx_3d_render_flags(f);
            EXPECT_EQ(gx_3d_texture_polygon(v, t, count), 0);
        }
    }
};

TEST_F(Bad3dInput, TheSquareIsDrawnWithEveryFlagCombination) {
    for (uint32_t flags : ALL_FLAGS) {
        new_frame();
        draw({flags});
        EXPECT_EQ(drawn(), 12 * 12) << flags;  // corners at +-20 / 100 * 32 = +-6.4 round to +-6
    }
}

TEST_F(Bad3dInput, NonFiniteViewportFactorDrawsNothing) {
    for (double factor : {NaN, INF}) {
        gx_3d_viewport(0, 63, 0, 47, factor);
        draw(ALL_FLAGS);
    }
    expect_nothing_drawn();
}

// Every comparison with NaN is false: no vertex counts as inside. A NaN far
// plane rejects nothing.
TEST_F(Bad3dInput, NotANumberNearPlaneWithClippingDrawsNothing) {
    gx_3d_clip_planes(NaN, 1000);
    draw(CLIPPING_FLAGS);
    EXPECT_EQ(drawn(), 0);
    gx_3d_clip_planes(40, NaN);
    draw({13u});
    EXPECT_EQ(drawn(), 12 * 12);
}

// With the near plane at -10 a corner at z 0 or -5 counts as inside but
// cannot be projected.
TEST_F(Bad3dInput, NearPlaneAtOrBehindTheEyeKeepsPointsThatCannotBeProjected) {
    gx_3d_clip_planes(-10, 1000);
    for (double z : {0.0, -0.0, -5.0}) draw(CLIPPING_FLAGS, 4, z - 100);
    expect_nothing_drawn();
}

TEST_F(Bad3dInput, NegativeCountsAreHugeUnsignedCountsAndDrawNothing) {
    for (uint32_t count : {0xFFFFFFFFu, 0x80000000u}) draw(ALL_FLAGS, count);  // -1, INT32_MIN
    EXPECT_EQ(drawn(), 0);
}

TEST_F(Bad3dInput, TextureDefinedWithoutTexelsDrawsNothing) {
    for (auto [w, h] : {std::pair{0, 16}, {16, 0}, {-16, 16}, {16, -1}, {INT32_MIN, INT32_MIN}}) {
        gx_texture_undefine(-1);
        gx_texture_select(gx_texture_define(texels_.data(), w, h));
        draw(ALL_FLAGS);
    }
    expect_nothing_drawn();
}

// Any angle reduces to one turn (CosSin.HandWorkedAngles checks the values);
// an object at an infinite, NaN or overflowing position draws nothing.
TEST_F(Bad3dInput, ExtremeAnglesAndPositionsDrawNothingOrStayFinite) {
    for (double at : {INF, NaN, 1e308}) {
        gx_3d_set_object(at, 0, 100, INT32_MAX, INT32_MIN, 1);
        draw(ALL_FLAGS);
    }
    EXPECT_EQ(drawn(), 0);
}

}  // namespace
