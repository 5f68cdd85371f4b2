// Bad 3D input that must draw nothing and touch nothing: inputs found by the
// polygon and buffer fuzz targets, and the kinds of bad input listed in
// docs/robustness.md that no other test covered.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "fixture.h"
#include "gfx/gfx.h"
#include "platform/headless/headless.h"

namespace {

constexpr int32_t W = 64;
constexpr int32_t H = 48;
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// A 16-bit 64 x 48 buffer with a fitting depth buffer, a 16 x 16 texture,
// the program's planes and a viewport over the buffer. Every pixel starts
// at 0xFFFF, which no texel holds.
class Bad3dInput : public Gx3dTest {
protected:
    void SetUp() override {
        Gx3dTest::SetUp();
        headless_reset();
        gx_state = GraphicsState{};
        gx_initialize();
        gx_set_buffer_depth(16);
        slot_ = gx_buffer_alloc(W, H);
        ASSERT_EQ(gx_buffer_open(slot_), 0);
        depth_ = gx_depthbuf_alloc(W, H);
        ASSERT_NE(depth_, nullptr);
        gx_depthbuf_open(depth_);
        gx_depthbuf_clear();
        gx_set_color(-1);
        gx_fill_buffer();
        for (size_t i = 0; i < texels_.size(); ++i) texels_[i] = static_cast<uint16_t>(i);
        ASSERT_EQ(gx_texture_table_alloc(2), 0);
        gx_texture_select(gx_texture_define(texels_.data(), 16, 16));
        gx_3d_viewport(0, W - 1, 0, H - 1, 0.5);
        gx_3d_clip_planes(40, 1000);
        gx_3d_render_flags(13);
        gx_3d_set_object(0, 0, 100, 0, 0, 0);
    }
    void TearDown() override {
        gx_depthbuf_free(depth_);
        gx_buffer_close();
        gx_buffer_free(-1);
        gx_shutdown();
        Gx3dTest::TearDown();
    }

    int32_t drawn() const {
        int32_t n = 0;
        const auto* p = reinterpret_cast<const uint16_t*>(gx_state.active_pixels);
        for (int32_t i = 0; i < W * H; ++i) n += p[i] != 0xFFFF;
        return n;
    }
    int32_t written_words() const {
        int32_t n = 0;
        for (int32_t i = 0; i < W * H; ++i) n += depth_[i] != 0;
        return n;
    }
    // A square of 40 x 40 model units around the camera axis, 100 ahead.
    void draw_square(uint32_t flags) {
        gx_3d_render_flags(flags);
        const Vertex3 v[4] = {{-20, 20, 0}, {20, 20, 0}, {20, -20, 0}, {-20, -20, 0}};
        const TexCoord t[4] = {{0, 0}, {15, 0}, {15, 15}, {0, 15}};
        EXPECT_EQ(gx_3d_texture_polygon(v, t, 4), 0);
    }

    int32_t slot_ = -1;
    uint32_t* depth_ = nullptr;
    std::vector<uint16_t> texels_ = std::vector<uint16_t>(16 * 16);
};

constexpr uint32_t ALL_FLAGS[] = {13, 9, 12, 8, 5, 1, 4, 0};

TEST_F(Bad3dInput, TheSquareIsDrawnWithEveryFlagCombination) {
    for (uint32_t flags : ALL_FLAGS) {
        gx_fill_buffer();
        gx_depthbuf_clear();
        draw_square(flags);
        // Corners at +-20 / 100 * 32 = +-6.4 pixels round to +-6: 12 x 12.
        EXPECT_EQ(drawn(), 12 * 12) << flags;
    }
}

TEST_F(Bad3dInput, NotANumberViewportFactorDrawsNothing) {
    gx_3d_viewport(0, W - 1, 0, H - 1, NaN);
    for (uint32_t flags : ALL_FLAGS) draw_square(flags);
    EXPECT_EQ(drawn(), 0);
    EXPECT_EQ(written_words(), 0);
}

TEST_F(Bad3dInput, InfiniteViewportFactorDrawsNothing) {
    gx_3d_viewport(0, W - 1, 0, H - 1, std::numeric_limits<double>::infinity());
    for (uint32_t flags : ALL_FLAGS) draw_square(flags);
    EXPECT_EQ(drawn(), 0);
}

TEST_F(Bad3dInput, NotANumberNearPlaneWithClippingDrawsNothing) {
    // Every comparison with NaN is false: no vertex counts as inside.
    gx_3d_clip_planes(NaN, 1000);
    for (uint32_t flags : {13u, 9u, 12u, 8u}) draw_square(flags);
    EXPECT_EQ(drawn(), 0);
    // A NaN far plane rejects nothing.
    gx_3d_clip_planes(40, NaN);
    draw_square(13);
    EXPECT_EQ(drawn(), 12 * 12);
}

TEST_F(Bad3dInput, NearPlaneAtOrBehindTheEyeKeepsPointsThatCannotBeProjected) {
    // With the near plane at -10 a vertex at z 0 or -5 counts as inside;
    // it cannot be projected, so the polygon draws nothing.
    gx_3d_clip_planes(-10, 1000);
    const TexCoord t[3] = {{0, 0}, {15, 0}, {0, 15}};
    for (double z : {0.0, -0.0, -5.0}) {
        const Vertex3 v[3] = {{-20, 20, 0}, {20, 20, 0}, {0, -20, z - 100}};
        for (uint32_t flags : {13u, 9u, 12u, 8u}) {
            gx_3d_render_flags(flags);
            EXPECT_EQ(gx_3d_texture_polygon(v, t, 3), 0);
        }
    }
    EXPECT_EQ(drawn(), 0);
    EXPECT_EQ(written_words(), 0);
}

TEST_F(Bad3dInput, NegativeCountsAreHugeUnsignedCountsAndDrawNothing) {
    const Vertex3 v[4] = {{-20, 20, 0}, {20, 20, 0}, {20, -20, 0}, {-20, -20, 0}};
    const TexCoord t[4] = {{0, 0}, {15, 0}, {15, 15}, {0, 15}};
    for (uint32_t flags : ALL_FLAGS) {
        gx_3d_render_flags(flags);
        EXPECT_EQ(gx_3d_texture_polygon(v, t, static_cast<uint32_t>(-1)), 0);
        EXPECT_EQ(gx_3d_texture_polygon(v, t, 0x80000000u), 0);
    }
    EXPECT_EQ(drawn(), 0);
}

TEST_F(Bad3dInput, TextureDefinedWithoutTexelsDrawsNothing) {
    for (const auto& size : {std::pair{0, 16}, std::pair{16, 0}, std::pair{-16, 16}, std::pair{16, -1},
                             std::pair{INT32_MIN, INT32_MIN}}) {
        gx_texture_undefine(-1);
        gx_texture_select(gx_texture_define(texels_.data(), size.first, size.second));
        for (uint32_t flags : ALL_FLAGS) draw_square(flags);
    }
    EXPECT_EQ(drawn(), 0);
    EXPECT_EQ(written_words(), 0);
}

TEST_F(Bad3dInput, HugeTextureTableCountsFailAndKeepTheTable) {
    TextureSlot* table = gx_state.texture_table;
    const int32_t blocks = headless_live_blocks();
    EXPECT_EQ(gx_texture_table_alloc(INT32_MAX), -1);
    EXPECT_EQ(gx_texture_table_alloc(0x08000000), -1);  // 2 GiB of slots
    EXPECT_EQ(gx_state.texture_table, table);
    EXPECT_EQ(gx_state.texture_count, 2);
    EXPECT_EQ(headless_live_blocks(), blocks);
}

TEST_F(Bad3dInput, ExtremeAnglesAndPositionsDrawNothingOrStayFinite) {
    // Any angle is a whole number of tenths: INT32_MIN and INT32_MAX reduce
    // like every other one.
    double c = 0, s = 0;
    EXPECT_EQ(gx_cos_sin(INT32_MIN, &c, &s), 0);  // -2147483648 = -596523 * 3600 - 848
    double c2 = 0, s2 = 0;
    gx_cos_sin(3600 - 848, &c2, &s2);
    EXPECT_EQ(c, c2);
    EXPECT_EQ(s, s2);
    // An object at an infinite or NaN position draws nothing.
    for (double at : {std::numeric_limits<double>::infinity(), NaN, 1e308}) {
        gx_3d_set_object(at, 0, 100, INT32_MAX, INT32_MIN, 1);
        for (uint32_t flags : ALL_FLAGS) draw_square(flags);
    }
    EXPECT_EQ(drawn(), 0);
}

}  // namespace
