// gx_3d_set_object: the rotation order, the translation and the product
// with the view transform; gx_3d_transform's order of operations.
#include <gtest/gtest.h>

#include <cmath>

#include "fixture.h"
#include "gfx/gfx.h"

namespace {

class ObjectTransform : public Gx3dTest {};

Vertex3 transformed(Vertex3 p) {
    Vertex3 out{};
    EXPECT_EQ(gx_3d_transform(&p, &out, 1), 0);
    return out;
}

void expect_point(Vertex3 got, double x, double y, double z) {
    EXPECT_EQ(got.x, x);
    EXPECT_EQ(got.y, y);
    EXPECT_EQ(got.z, z);
}

TEST_F(ObjectTransform, IdentityBeforeFirstCall) {
    expect_point(transformed({3.5, -2, 7}), 3.5, -2, 7);
}

TEST_F(ObjectTransform, TranslationOnly) {
    EXPECT_EQ(gx_3d_set_object(0, 0, 100, 0, 0, 0), 0);
    const double expected[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 100};
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(gx_state.combined_matrix[i], expected[i]) << i;
        EXPECT_EQ(gx_state.object_matrix[i], expected[i]) << i;
    }
    expect_point(transformed({20, 20, -20}), 20, 20, 80);
}

TEST_F(ObjectTransform, QuarterTurnAboutX) {
    gx_3d_set_object(0, 0, 0, 900, 0, 0);
    const double rotation[3][3] = {{1, 0, 0}, {0, 0, -1}, {0, 1, 0}};
    for (int r = 0; r < 3; ++r) {
        for (int k = 0; k < 3; ++k) EXPECT_EQ(gx_state.object_matrix[4 * r + k], rotation[r][k]);
    }
    expect_point(transformed({0, 1, 0}), 0, 0, 1);
}

TEST_F(ObjectTransform, TurnsApplyAboutXThenYThenZ) {
    // Ry x Rx: (0, 1, 0) -> (0, 0, 1) -> (1, 0, 0).
    gx_3d_set_object(0, 0, 0, 900, 900, 0);
    expect_point(transformed({0, 1, 0}), 1, 0, 0);
    // Rz x Rx: x first, so (1, 0, 0) only sees the z turn -> (0, 1, 0),
    // and (0, 1, 0) -> (0, 0, 1), which the z turn leaves alone.
    gx_3d_set_object(0, 0, 0, 900, 0, 900);
    expect_point(transformed({1, 0, 0}), 0, 1, 0);
    expect_point(transformed({0, 1, 0}), 0, 0, 1);
    // Rz x Ry: (0, 0, 1) -> (1, 0, 0) -> (0, 1, 0).
    gx_3d_set_object(0, 0, 0, 0, 900, 900);
    expect_point(transformed({0, 0, 1}), 0, 1, 0);
}

TEST_F(ObjectTransform, TranslationIsNotTurned) {
    gx_3d_set_object(5, 6, 7, 900, 900, 900);
    expect_point(transformed({0, 0, 0}), 5, 6, 7);
}

TEST_F(ObjectTransform, FullTurnChangesNothing) {
    gx_3d_set_object(1, 2, 3, 3600, 3600, 3600);
    const double expected[12] = {1, 0, 0, 1, 0, 1, 0, 2, 0, 0, 1, 3};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(gx_state.combined_matrix[i], expected[i]) << i;
}

TEST_F(ObjectTransform, ArbitraryAnglesMatchTheRotationProduct) {
    const int32_t angles[][3] = {{123, 456, 789}, {-450, 1350, 2999}, {3599, 1, 1800}};
    for (const auto& a : angles) {
        gx_3d_set_object(0, 0, 0, a[0], a[1], a[2]);
        const double deg = 3.14159265358979323846 / 1800;
        const double cx = std::cos(a[0] * deg), sx = std::sin(a[0] * deg);
        const double cy = std::cos(a[1] * deg), sy = std::sin(a[1] * deg);
        const double cz = std::cos(a[2] * deg), sz = std::sin(a[2] * deg);
        const double rx[3][3] = {{1, 0, 0}, {0, cx, -sx}, {0, sx, cx}};
        const double ry[3][3] = {{cy, 0, sy}, {0, 1, 0}, {-sy, 0, cy}};
        const double rz[3][3] = {{cz, -sz, 0}, {sz, cz, 0}, {0, 0, 1}};
        double ryx[3][3] = {};
        double rzyx[3][3] = {};
        for (int r = 0; r < 3; ++r)
            for (int k = 0; k < 3; ++k)
                for (int j = 0; j < 3; ++j) ryx[r][k] += ry[r][j] * rx[j][k];
        for (int r = 0; r < 3; ++r)
            for (int k = 0; k < 3; ++k)
                for (int j = 0; j < 3; ++j) rzyx[r][k] += rz[r][j] * ryx[j][k];
        for (int r = 0; r < 3; ++r) {
            for (int k = 0; k < 3; ++k) {
                EXPECT_NEAR(gx_state.combined_matrix[4 * r + k], rzyx[r][k], 1e-14)
                    << a[0] << " " << a[1] << " " << a[2] << " at " << r << "," << k;
            }
        }
    }
}

TEST_F(ObjectTransform, CombinedIsViewTimesObject) {
    // A view that swaps x and y, doubles z and moves by (5, 6, 7).
    const double view[12] = {0, 1, 0, 5, 1, 0, 0, 6, 0, 0, 2, 7};
    for (int i = 0; i < 12; ++i) gx_state.view_matrix[i] = view[i];
    gx_3d_set_object(1, 2, 3, 900, 0, 0);
    // Object rows (1,0,0,1), (0,0,-1,2), (0,1,0,3).
    const double expected[12] = {0, 0, -1, 2 + 5, 1, 0, 0, 1 + 6, 0, 2, 0, 6 + 7};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(gx_state.combined_matrix[i], expected[i]) << i;
}

TEST_F(ObjectTransform, ProductSumsInTheGivenOrder) {
    // ((1e16 + 1) - 1e16) + 1: 1e16 + 1 rounds back to 1e16, so the sum is 1;
    // adding the translation in first, ((1 + 1e16) + 1) - 1e16, would give 0.
    const double view[12] = {1, 1, 1, 1, 0, 1, 0, 0, 0, 0, 1, 0};
    for (int i = 0; i < 12; ++i) gx_state.view_matrix[i] = view[i];
    gx_3d_set_object(1e16, 1, -1e16, 0, 0, 0);
    EXPECT_EQ(gx_state.combined_matrix[3], 1.0);

    // The vertex transform sums in the same order.
    const double m[12] = {1e16, 1, -1e16, 1, 0, 1, 0, 0, 0, 0, 1, 0};
    for (int i = 0; i < 12; ++i) gx_state.combined_matrix[i] = m[i];
    EXPECT_EQ(transformed({1, 1, 1}).x, 1.0);
}

TEST_F(ObjectTransform, ZeroCountWritesNothing) {
    Vertex3 in{1, 2, 3};
    Vertex3 out{7, 8, 9};
    EXPECT_EQ(gx_3d_transform(&in, &out, 0), 0);
    expect_point(out, 7, 8, 9);
}

}  // namespace
