// gx_3d_texture_polygon end to end: the work lists it leaves in the state's
// work areas, the rasterizer each flag combination hands over to, and the
// inputs that must draw nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "fixture.h"
#include "gfx/gfx.h"
#include "gfx/row_rule.h"
#include "platform/headless/headless.h"

namespace {

constexpr int32_t W = 640;
constexpr int32_t H = 480;
constexpr uint16_t WHITE = 0xFFFF;

class TexturePolygon : public Gx3dTest {
protected:
    void SetUp() override {
        Gx3dTest::SetUp();
        headless_reset();
        gx_initialize();
        gx_set_buffer_depth(16);
        slot = gx_buffer_alloc(W, H);
        ASSERT_GE(slot, 0);
        ASSERT_EQ(gx_buffer_open(slot), 0);
        depth = gx_depthbuf_alloc(W, H);
        ASSERT_NE(depth, nullptr);
        gx_depthbuf_open(depth);
        gx_depthbuf_clear();
        clear_pixels();
        // Texel (u, v) of the 64 x 64 texture holds v * 64 + u, never white.
        for (int v = 0; v < 64; ++v)
            for (int u = 0; u < 64; ++u) texels[v * 64 + u] = static_cast<uint16_t>(v * 64 + u);
        ASSERT_EQ(gx_texture_table_alloc(6), 0);
        ASSERT_EQ(gx_texture_select(gx_texture_define(texels, 64, 64)), 0);
        gx_3d_viewport(0, W - 1, 0, H - 1, 0.5);
        gx_3d_clip_planes(40, 1000);
        gx_3d_render_flags(13);
    }
    void TearDown() override {
        gx_depthbuf_free(depth);
        gx_buffer_close();
        gx_buffer_free(slot);
        gx_shutdown();
        Gx3dTest::TearDown();
    }

    // A fresh frame: white pixels and an empty depth buffer.
    void new_frame() {
        clear_pixels();
        gx_depthbuf_open(depth);
        gx_depthbuf_clear();
    }
    void clear_pixels() {
        for (int32_t y = 0; y < H; ++y)
            for (int32_t x = 0; x < W; ++x) pixel(x, y) = WHITE;
    }
    static uint16_t& pixel(int32_t x, int32_t y) {
        return *reinterpret_cast<uint16_t*>(gx_pixel_address(x, y, 2));
    }
    int32_t drawn_pixels() const {
        int32_t n = 0;
        for (int32_t y = 0; y < H; ++y)
            for (int32_t x = 0; x < W; ++x) n += pixel(x, y) != WHITE;
        return n;
    }
    int32_t written_depth_words() const {
        int32_t n = 0;
        for (int32_t i = 0; i < W * H; ++i) n += depth[i] != 0;
        return n;
    }
    void expect_nothing_drawn() {
        EXPECT_EQ(drawn_pixels(), 0);
        EXPECT_EQ(written_depth_words(), 0);
    }

    // The lists in the work areas after a call with n vertices (n' after clipping).
    static const Vertex3* camera_list() {
        return reinterpret_cast<const Vertex3*>(gx_state.scratch_area);
    }
    static const ScreenPoint* screen_list(uint32_t n, uint32_t n_clipped, bool clipped) {
        const size_t offset = clipped ? (n + n_clipped) * sizeof(Vertex3) : n * sizeof(Vertex3);
        return reinterpret_cast<const ScreenPoint*>(gx_state.scratch_area + offset);
    }
    static const TexCoord* clipped_texture_list() {
        return reinterpret_cast<const TexCoord*>(gx_state.input_buffer);
    }

    int32_t slot = -1;
    uint32_t* depth = nullptr;
    uint16_t texels[64 * 64] = {};
};

// The cube's front face at the start position: a 40 x 40 square at z 80.
const Vertex3 face[4] = {{-20, 20, -20}, {20, 20, -20}, {20, -20, -20}, {-20, -20, -20}};
const TexCoord face_tex[4] = {{0, 0}, {63, 0}, {63, 63}, {0, 63}};

TEST_F(TexturePolygon, ListsInTheWorkAreasWithClipping) {
    gx_3d_set_object(0, 0, 100, 0, 0, 0);
    EXPECT_EQ(gx_3d_texture_polygon(face, face_tex, 4), 0);
    // Camera list, then the clipped camera list (nothing clipped here).
    for (uint32_t i = 0; i < 4; ++i) {
        EXPECT_EQ(camera_list()[i].z, 80.0);
        EXPECT_EQ(camera_list()[4 + i].x, face[i].x);
        EXPECT_EQ(clipped_texture_list()[i].u, face_tex[i].u);
        EXPECT_EQ(clipped_texture_list()[i].v, face_tex[i].v);
    }
    const ScreenPoint expected[4] = {{240, 160}, {400, 160}, {400, 320}, {240, 320}};
    const ScreenPoint* screen = screen_list(4, 4, true);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(screen[i].x, expected[i].x) << i;
        EXPECT_EQ(screen[i].y, expected[i].y) << i;
    }
    // Rows 160 to 319, columns 240 to 399; 1/80 in 8.24 plus the stamp.
    EXPECT_EQ(drawn_pixels(), 160 * 160);
    EXPECT_NE(pixel(240, 160), WHITE);
    EXPECT_EQ(pixel(400, 160), WHITE);
    EXPECT_EQ(pixel(240, 320), WHITE);
    EXPECT_EQ(*gx_depth_word(240, 160), 0x01000000u + static_cast<uint32_t>(16777216.0 / 80));
}

TEST_F(TexturePolygon, ClippedPolygonIsHandedOverWithItsCrossings) {
    // Tilted away through the near plane: the left edge at z 30, the right at 50.
    gx_3d_set_object(0, 0, 0, 0, 0, 0);
    const Vertex3 v[4] = {{-10, 10, 30}, {10, 10, 50}, {10, -10, 50}, {-10, -10, 30}};
    const TexCoord t[4] = {{0, 0}, {61, 0}, {61, 63}, {0, 63}};
    gx_3d_texture_polygon(v, t, 4);
    // Out: X(D->A) is not formed (both outside); A->B crossing, B, C, C->D crossing.
    const TexCoord* tex = clipped_texture_list();
    const Vertex3* cam = camera_list() + 4;
    EXPECT_EQ(cam[0].z, 40.0);
    EXPECT_EQ(cam[0].x, 0.0);
    EXPECT_EQ(tex[0].u, 30);  // 30.5 to even
    EXPECT_EQ(tex[1].u, 61);
    EXPECT_EQ(tex[2].u, 61);
    EXPECT_EQ(tex[3].u, 30);
    EXPECT_EQ(tex[3].v, 63);
    const ScreenPoint* screen = screen_list(4, 4, true);
    // (0, 10, 40) -> (320, 240 - 80); (10, 10, 50) -> (384, 176).
    EXPECT_EQ(screen[0].x, 320);
    EXPECT_EQ(screen[0].y, 160);
    EXPECT_EQ(screen[1].x, 384);
    EXPECT_EQ(screen[1].y, 176);
    EXPECT_GT(drawn_pixels(), 0);
}

TEST_F(TexturePolygon, WithoutClippingTheCallersTextureListIsUsed) {
    gx_3d_render_flags(RF_PERSPECTIVE | RF_DEPTH);
    gx_3d_set_object(0, 0, 100, 0, 0, 0);
    std::memset(gx_state.input_buffer, 0xCD, sizeof gx_state.input_buffer);
    gx_3d_texture_polygon(face, face_tex, 4);
    for (uint8_t byte : gx_state.input_buffer) ASSERT_EQ(byte, 0xCD);
    const ScreenPoint* screen = screen_list(4, 4, false);
    EXPECT_EQ(screen[2].x, 400);
    EXPECT_EQ(screen[2].y, 320);
    EXPECT_EQ(drawn_pixels(), 160 * 160);
}

// The square (0, 0), (64, 0), (64, 64), (0, 64) on screen with z 64 on the
// left and 128 on the right (scale 64, centre (0, 0)): row 10 shows texel
// columns 0, 6, 11, 16, 22, 32, 43, 53 at pixel columns 0, 8, ..., 56 when
// perspective-correct and 0, 8, ..., 56 when affine; depth words are
// written only with RF_DEPTH, and only the depth-tested rasterizers draw
// the polygon listed the other way round.
TEST_F(TexturePolygon, FlagsChooseTheRasterizer) {
    gx_3d_viewport(0, 0, 0, 0, 64.0);
    const Vertex3 v[4] = {{0, 0, 64}, {128, 0, 128}, {128, -128, 128}, {0, -64, 64}};
    const TexCoord t[4] = {{0, 0}, {63, 0}, {63, 63}, {0, 63}};
    const Vertex3 v_rev[4] = {v[3], v[2], v[1], v[0]};
    const TexCoord t_rev[4] = {t[3], t[2], t[1], t[0]};
    const int persp_cols[8] = {0, 6, 11, 16, 22, 32, 43, 53};
    const int affine_cols[8] = {0, 8, 16, 24, 32, 40, 48, 56};

    for (uint32_t flags : {0u, 1u, 2u, 4u, 5u, 8u, 9u, 12u, 13u, 0xFFFFFFF2u}) {
        SCOPED_TRACE(flags);
        const bool perspective = (flags & RF_PERSPECTIVE) != 0;
        const bool depth_test = (flags & RF_DEPTH) != 0;
        gx_3d_render_flags(flags);
        new_frame();

        gx_3d_texture_polygon(v, t, 4);
        EXPECT_EQ(drawn_pixels(), 64 * 64);
        for (int i = 0; i < 8; ++i) {
            const int expected = perspective ? persp_cols[i] : affine_cols[i];
            EXPECT_EQ(pixel(8 * i, 10) % 64, expected) << "column " << 8 * i;
        }
        if (depth_test) {
            EXPECT_EQ(*gx_depth_word(0, 10), 0x01040000u);
            EXPECT_EQ(*gx_depth_word(32, 10), 0x01030000u);
            EXPECT_EQ(*gx_depth_word(63, 10), 0x01020800u);
        } else {
            EXPECT_EQ(written_depth_words(), 0);
        }

        new_frame();
        gx_3d_texture_polygon(v_rev, t_rev, 4);
        EXPECT_EQ(drawn_pixels(), depth_test ? 64 * 64 : 0);
    }
}

TEST_F(TexturePolygon, FewerThanTwoVerticesDrawNothing) {
    gx_3d_set_object(0, 0, 100, 0, 0, 0);
    std::memset(gx_state.scratch_area, 0xCD, sizeof gx_state.scratch_area);
    EXPECT_EQ(gx_3d_texture_polygon(face, face_tex, 0), 0);
    EXPECT_EQ(gx_3d_texture_polygon(face, face_tex, 1), 0);
    for (uint8_t byte : gx_state.scratch_area) ASSERT_EQ(byte, 0xCD);
    expect_nothing_drawn();
}

TEST_F(TexturePolygon, TwoVerticesAreHandedOver) {
    gx_3d_set_object(0, 0, 100, 0, 0, 0);
    EXPECT_EQ(gx_3d_texture_polygon(face + 1, face_tex + 1, 2), 0);
    const ScreenPoint* screen = screen_list(2, 2, true);
    EXPECT_EQ(screen[0].x, 400);
    EXPECT_EQ(screen[0].y, 160);
    EXPECT_EQ(screen[1].x, 400);
    EXPECT_EQ(screen[1].y, 320);
    expect_nothing_drawn();  // both walkers follow the one edge
}

TEST_F(TexturePolygon, FarAndNearRejection) {
    gx_3d_set_object(0, 0, 0, 0, 0, 0);
    const Vertex3 beyond[3] = {{0, 0, 1001}, {500, 0, 1001}, {0, -500, 1001}};
    const TexCoord t[3] = {{0, 0}, {63, 0}, {0, 63}};
    gx_3d_texture_polygon(beyond, t, 3);
    expect_nothing_drawn();
    const Vertex3 touching[3] = {{0, 0, 1001}, {500, 0, 1000}, {0, -500, 1001}};
    gx_3d_texture_polygon(touching, t, 3);
    EXPECT_GT(drawn_pixels(), 0);
    new_frame();
    const Vertex3 near[3] = {{0, 0, 40}, {10, 0, 40}, {0, -10, 30}};
    gx_3d_texture_polygon(near, t, 3);
    expect_nothing_drawn();
}

// A convex polygon of n vertices: a circle of radius 30 around the camera
// axis at z 100, listed clockwise on the screen.
std::vector<Vertex3> circle(uint32_t n) {
    std::vector<Vertex3> v;
    for (uint32_t i = 0; i < n; ++i) {
        const double a = 2 * 3.14159265358979323846 * i / n;
        v.push_back({30 * std::cos(a), -30 * std::sin(a), 100});
    }
    return v;
}

TEST_F(TexturePolygon, PolygonsLargerThanTheWorkAreasDrawNothing) {
    const std::vector<TexCoord> t(321, TexCoord{5, 5});
    struct Case {
        uint32_t flags;
        uint32_t largest;
    };
    for (Case c : {Case{13, 142}, Case{RF_CLIP, 142}, Case{5, 320}, Case{0, 320}}) {
        SCOPED_TRACE(c.flags);
        gx_3d_render_flags(c.flags);
        new_frame();
        gx_3d_texture_polygon(circle(c.largest).data(), t.data(), c.largest);
        EXPECT_NEAR(drawn_pixels(), 28953, 600);  // radius 96 on the screen: about pi * 96^2

        new_frame();
        std::memset(gx_state.scratch_area, 0xCD, sizeof gx_state.scratch_area);
        std::memset(gx_state.input_buffer, 0xCD, sizeof gx_state.input_buffer);
        EXPECT_EQ(gx_3d_texture_polygon(circle(c.largest + 1).data(), t.data(), c.largest + 1), 0);
        expect_nothing_drawn();
        for (uint8_t byte : gx_state.scratch_area) ASSERT_EQ(byte, 0xCD);
        for (uint8_t byte : gx_state.input_buffer) ASSERT_EQ(byte, 0xCD);
    }
    // Counts that are negative numbers taken as unsigned.
    EXPECT_EQ(gx_3d_texture_polygon(face, face_tex, 0xFFFFFFFFu), 0);
    EXPECT_EQ(gx_3d_texture_polygon(face, face_tex, 0x80000000u), 0);
}

TEST_F(TexturePolygon, NonFiniteCoordinatesDrawNothing) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (uint32_t flags : {13u, 5u, 0u}) {
        SCOPED_TRACE(flags);
        gx_3d_render_flags(flags);
        gx_3d_set_object(0, 0, 100, 0, 0, 0);
        for (double bad : {nan, inf, -inf}) {
            Vertex3 v[4] = {face[0], face[1], face[2], face[3]};
            v[1].x = bad;
            gx_3d_texture_polygon(v, face_tex, 4);
            v[1] = face[1];
            v[3].z = bad;
            gx_3d_texture_polygon(v, face_tex, 4);
        }
        // Finite model points that overflow in the transform.
        gx_3d_set_object(0, 0, 100, 0, 0, 0);
        gx_state.combined_matrix[0] = 1e300;
        const Vertex3 big[4] = {{-1e10, 20, -20}, {1e10, 20, -20}, {1e10, -20, -20}, {-1e10, -20, -20}};
        gx_3d_texture_polygon(big, face_tex, 4);
        expect_nothing_drawn();
    }
}

TEST_F(TexturePolygon, PointsAtOrBehindTheEyeWithoutClippingDrawNothing) {
    gx_3d_set_object(0, 0, 0, 0, 0, 0);
    const TexCoord t[3] = {{0, 0}, {63, 0}, {0, 63}};
    for (uint32_t flags : {5u, 1u, 4u, 0u}) {
        SCOPED_TRACE(flags);
        gx_3d_render_flags(flags);
        for (double z : {0.0, -0.0, -10.0}) {
            const Vertex3 v[3] = {{-10, 10, 50}, {10, 10, 50}, {0, -10, z}};
            gx_3d_texture_polygon(v, t, 3);
        }
        expect_nothing_drawn();
    }
    // With clipping the same polygon is cut at the near plane and drawn.
    gx_3d_render_flags(13);
    const Vertex3 v[3] = {{-10, 10, 50}, {10, 10, 50}, {0, -10, -10}};
    gx_3d_texture_polygon(v, t, 3);
    EXPECT_GT(drawn_pixels(), 0);
}

TEST_F(TexturePolygon, PointsProjectedTooFarOutDrawNothing) {
    gx_3d_set_object(0, 0, 0, 0, 0, 0);
    const TexCoord t[3] = {{0, 0}, {63, 0}, {0, 63}};
    // At z 50: 52427 * 320 + 320 = 16776960 is within 2^24 = 16777216,
    // 52429 * 320 + 320 = 16777600 is not.
    for (uint32_t flags : {13u, 5u, 0u}) {
        SCOPED_TRACE(flags);
        gx_3d_render_flags(flags);
        new_frame();
        const Vertex3 inside[3] = {{-1, 1, 50}, {52427.0 * 50, 1, 50}, {-1, -1, 50}};
        gx_3d_texture_polygon(inside, t, 3);
        EXPECT_GT(drawn_pixels(), 0);
        new_frame();
        const Vertex3 far_out[3] = {{-1, 1, 50}, {52429.0 * 50, 1, 50}, {-1, -1, 50}};
        gx_3d_texture_polygon(far_out, t, 3);
        expect_nothing_drawn();
        const Vertex3 far_down[3] = {{-1, 1, 50}, {1, 1, 50}, {0, -52429.0 * 50, 50}};
        gx_3d_texture_polygon(far_down, t, 3);
        expect_nothing_drawn();
    }
}

}  // namespace
