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

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double INF = std::numeric_limits<double>::infinity();

// The cube's front face at the start position: a 40 x 40 square at z 80.
const Vertex3 FACE[4] = {{-20, 20, -20}, {20, 20, -20}, {20, -20, -20}, {-20, -20, -20}};
const TexCoord FACE_TEX[4] = {{0, 0}, {63, 0}, {63, 63}, {0, 63}};

class TexturePolygon : public Gx3dTest {
protected:
    void SetUp() override {
        Gx3dTest::SetUp();
        open_canvas(640, 480);
    }

    // Draws a polygon (model points, object at the origin) on a fresh frame.
    void expect_drawn(uint32_t flags, const std::vector<Vertex3>& v, bool expected) {
        new_frame();
        gx_3d_render_flags(flags);
        EXPECT_EQ(gx_3d_texture_polygon(v.data(), FACE_TEX, static_cast<uint32_t>(v.size())), 0);
        if (expected) {
            EXPECT_GT(drawn(), 0);
        } else {
            expect_nothing_drawn();
        }
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
};

TEST_F(TexturePolygon, FrontFaceAndTheListsInTheWorkAreas) {
    gx_3d_set_object(0, 0, 100, 0, 0, 0);
    gx_3d_texture_polygon(FACE, FACE_TEX, 4);
    // Camera list, then the clipped camera list (nothing clipped here).
    const std::vector<Vertex3> camera = {
        {-20, 20, 80}, {20, 20, 80}, {20, -20, 80}, {-20, -20, 80}};
    EXPECT_EQ(list(camera_list(), 4), camera);
    EXPECT_EQ(list(camera_list() + 4, 4), camera);
    EXPECT_EQ(list(clipped_texture_list(), 4), list(FACE_TEX, 4));
    EXPECT_EQ(list(screen_list(4, 4, true), 4),
              (std::vector<ScreenPoint>{{240, 160}, {400, 160}, {400, 320}, {240, 320}}));
    // Rows 160 to 319, columns 240 to 399, texel (0, 0) at the top left and
    // (63, 63) at the bottom right; 1/80 in 8.24 plus the stamp.
    EXPECT_EQ(drawn(), 160 * 160);
    EXPECT_EQ(pixel(240, 160), 0);
    EXPECT_EQ(pixel(399, 319), 63 * 64 + 63);
    EXPECT_EQ(pixel(239, 160), 0xFFFF);
    EXPECT_EQ(pixel(400, 160), 0xFFFF);
    EXPECT_EQ(pixel(240, 320), 0xFFFF);
    EXPECT_EQ(*gx_depth_word(240, 160), 0x01000000u + static_cast<uint32_t>(16777216.0 / 80));

    // Without clipping the caller's texture list is used and the screen list
    // follows the camera list.
    new_frame();
    gx_3d_render_flags(RF_PERSPECTIVE | RF_DEPTH);
    std::memset(gx_state.input_buffer, 0xCD, sizeof gx_state.input_buffer);
    gx_3d_texture_polygon(FACE, FACE_TEX, 4);
    for (uint8_t byte : gx_state.input_buffer) ASSERT_EQ(byte, 0xCD);
    EXPECT_EQ(screen_list(4, 4, false)[2], (ScreenPoint{400, 320}));
    EXPECT_EQ(drawn(), 160 * 160);

    // Two vertices are handed over; both walkers follow the one edge.
    new_frame();
    gx_3d_render_flags(13);
    EXPECT_EQ(gx_3d_texture_polygon(FACE + 1, FACE_TEX + 1, 2), 0);
    EXPECT_EQ(list(screen_list(2, 2, true), 2), (std::vector<ScreenPoint>{{400, 160}, {400, 320}}));
    expect_nothing_drawn();
}

TEST_F(TexturePolygon, ClippedPolygonIsHandedOverWithItsCrossings) {
    // Tilted away through the near plane: the left edge at z 30, the right at 50.
    const Vertex3 v[4] = {{-10, 10, 30}, {10, 10, 50}, {10, -10, 50}, {-10, -10, 30}};
    const TexCoord t[4] = {{0, 0}, {61, 0}, {61, 63}, {0, 63}};
    gx_3d_texture_polygon(v, t, 4);
    // Out: X(D->A) is not formed (both outside); A->B crossing, B, C, C->D
    // crossing, with 30.5 rounded to even.
    EXPECT_EQ(list(camera_list() + 4, 4),
              (std::vector<Vertex3>{{0, 10, 40}, {10, 10, 50}, {10, -10, 50}, {0, -10, 40}}));
    EXPECT_EQ(list(clipped_texture_list(), 4),
              (std::vector<TexCoord>{{30, 0}, {61, 0}, {61, 63}, {30, 63}}));
    // (0, 10, 40) -> (320, 240 - 80); (10, 10, 50) -> (384, 176).
    EXPECT_EQ(list(screen_list(4, 4, true), 2), (std::vector<ScreenPoint>{{320, 160}, {384, 176}}));
    EXPECT_GT(drawn(), 0);
}

// The square (0, 0), (64, 0), (64, 64), (0, 64) on screen with z 64 on the
// left and 128 on the right (scale 64, centre (0, 0)): row 10 shows texel
// row 10, columns 0, 6, 11, 16, 22, 32, 43, 53 at pixel columns 0, 8, ..., 56
// when perspective-correct (tests/raster/reference_model.py) and 0, 8, ...,
// 56 when affine; depth words are written only with RF_DEPTH, and only the
// depth-tested rasterizers draw the polygon listed the other way round.
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
        EXPECT_EQ(drawn(), 64 * 64);
        for (int i = 0; i < 8; ++i) {
            const int expected = perspective ? persp_cols[i] : affine_cols[i];
            EXPECT_EQ(pixel(8 * i, 10) % 64, expected) << "column " << 8 * i;
            EXPECT_EQ(pixel(8 * i, 10) / 64, 10) << "column " << 8 * i;
        }
        if (depth_test) {
            EXPECT_EQ(*gx_depth_word(0, 10), 0x01040000u);
            EXPECT_EQ(*gx_depth_word(32, 10), 0x01030000u);
            EXPECT_EQ(*gx_depth_word(63, 10), 0x01020800u);
        } else {
            EXPECT_EQ(written_words(), 0);
        }

        new_frame();
        gx_3d_texture_polygon(v_rev, t_rev, 4);
        EXPECT_EQ(drawn(), depth_test ? 64 * 64 : 0);
    }
}

TEST_F(TexturePolygon, FewerThanTwoVerticesDrawNothing) {
    gx_3d_set_object(0, 0, 100, 0, 0, 0);
    std::memset(gx_state.scratch_area, 0xCD, sizeof gx_state.scratch_area);
    EXPECT_EQ(gx_3d_texture_polygon(FACE, FACE_TEX, 0), 0);
    EXPECT_EQ(gx_3d_texture_polygon(FACE, FACE_TEX, 1), 0);
    for (uint8_t byte : gx_state.scratch_area) ASSERT_EQ(byte, 0xCD);
    expect_nothing_drawn();
}

TEST_F(TexturePolygon, FarAndNearRejection) {
    expect_drawn(13, {{0, 0, 1001}, {500, 0, 1001}, {0, -500, 1001}}, false);
    expect_drawn(13, {{0, 0, 1001}, {500, 0, 1000}, {0, -500, 1001}}, true);  // touching
    expect_drawn(13, {{0, 0, 40}, {10, 0, 40}, {0, -10, 30}}, false);
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
        EXPECT_NEAR(drawn(), 28953, 600);  // radius 96 on the screen: about pi * 96^2

        new_frame();
        std::memset(gx_state.scratch_area, 0xCD, sizeof gx_state.scratch_area);
        std::memset(gx_state.input_buffer, 0xCD, sizeof gx_state.input_buffer);
        EXPECT_EQ(gx_3d_texture_polygon(circle(c.largest + 1).data(), t.data(), c.largest + 1), 0);
        expect_nothing_drawn();
        for (uint8_t byte : gx_state.scratch_area) ASSERT_EQ(byte, 0xCD);
        for (uint8_t byte : gx_state.input_buffer) ASSERT_EQ(byte, 0xCD);
    }
}

TEST_F(TexturePolygon, NonFiniteCoordinatesDrawNothing) {
    for (uint32_t flags : {13u, 5u, 0u}) {
        SCOPED_TRACE(flags);
        for (double bad : {NaN, INF, -INF}) {
            expect_drawn(flags, {{-20, 20, 80}, {bad, 20, 80}, {20, -20, 80}, {-20, -20, 80}},
                         false);
            expect_drawn(flags, {{-20, 20, 80}, {20, 20, 80}, {20, -20, 80}, {-20, -20, bad}},
                         false);
        }
        // Finite model points that overflow in the transform.
        gx_state.combined_matrix[0] = 1e300;
        expect_drawn(flags, {{-1e10, 20, 80}, {1e10, 20, 80}, {1e10, -20, 80}, {-1e10, -20, 80}},
                     false);
        gx_state.combined_matrix[0] = 1;
    }
}

TEST_F(TexturePolygon, PointsAtOrBehindTheEyeWithoutClippingDrawNothing) {
    for (uint32_t flags : {5u, 1u, 4u, 0u}) {
        SCOPED_TRACE(flags);
        for (double z : {0.0, -0.0, -10.0})
            expect_drawn(flags, {{-10, 10, 50}, {10, 10, 50}, {0, -10, z}}, false);
    }
    // With clipping the same polygon is cut at the near plane and drawn.
    expect_drawn(13, {{-10, 10, 50}, {10, 10, 50}, {0, -10, -10}}, true);
}

TEST_F(TexturePolygon, PointsProjectedTooFarOutDrawNothing) {
    // At z 50: 52427 * 320 + 320 = 16776960 is within 2^24 = 16777216,
    // 52429 * 320 + 320 = 16777600 is not.
    for (uint32_t flags : {13u, 5u, 0u}) {
        SCOPED_TRACE(flags);
        expect_drawn(flags, {{-1, 1, 50}, {52427.0 * 50, 1, 50}, {-1, -1, 50}}, true);
        expect_drawn(flags, {{-1, 1, 50}, {52429.0 * 50, 1, 50}, {-1, -1, 50}}, false);
        expect_drawn(flags, {{-1, 1, 50}, {1, 1, 50}, {0, -52429.0 * 50, 50}}, false);
    }
}

}  // namespace
