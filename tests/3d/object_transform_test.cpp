// gx_3d_set_object: the rotation order, the translation and the product
// with the view transform; gx_3d_transform's order of operations.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "fixture.h"

namespace {

using ObjectTransform = Gx3dTest;

Vertex3 transformed(Vertex3 p) {
    Vertex3 out{};
    EXPECT_EQ(gx_3d_transform(&p, &out, 1), 0);
    return out;
}

void expect_point(Vertex3 got, Vertex3 expected) {
    EXPECT_EQ(got.x, expected.x);
    EXPECT_EQ(got.y, expected.y);
    EXPECT_EQ(got.z, expected.z);
}

void expect_matrix(const double* got, const double (&expected)[12]) {
    for (int i = 0; i < 12; ++i) EXPECT_EQ(got[i], expected[i]) << i;
}

TEST_F(ObjectTransform, TurnsApplyAboutXThenYThenZAndTranslationLast) {
    expect_point(transformed({3.5, -2, 7}), {3.5, -2, 7});  // identity before the first call
    struct Case {
        double x, y, z;
        int32_t ax, ay, az;
        Vertex3 in, out;
    };
    const Case cases[] = {
        {0, 0, 100, 0, 0, 0, {20, 20, -20}, {20, 20, 80}},
        {0, 0, 0, 900, 0, 0, {0, 1, 0}, {0, 0, 1}},
        {0, 0, 0, 900, 900, 0, {0, 1, 0}, {1, 0, 0}},  // Ry x Rx: -> (0, 0, 1) -> (1, 0, 0)
        // Rz x Rx: x first, so (1, 0, 0) only sees the z turn, and (0, 1, 0)
        // -> (0, 0, 1), which the z turn leaves alone.
        {0, 0, 0, 900, 0, 900, {1, 0, 0}, {0, 1, 0}},
        {0, 0, 0, 900, 0, 900, {0, 1, 0}, {0, 0, 1}},
        {0, 0, 0, 0, 900, 900, {0, 0, 1}, {0, 1, 0}},    // Rz x Ry: -> (1, 0, 0) -> (0, 1, 0)
        {5, 6, 7, 900, 900, 900, {0, 0, 0}, {5, 6, 7}},  // the translation is not turned
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.ax << " " << c.ay << " " << c.az);
        EXPECT_EQ(gx_3d_set_object(c.x, c.y, c.z, c.ax, c.ay, c.az), 0);
        expect_point(transformed(c.in), c.out);
    }
    Vertex3 out{7, 8, 9};  // a count of 0 writes nothing
    EXPECT_EQ(gx_3d_transform(&cases[0].in, &out, 0), 0);
    expect_point(out, {7, 8, 9});
}

TEST_F(ObjectTransform, MatricesAndTheProductWithTheView) {
    gx_3d_set_object(0, 0, 100, 0, 0, 0);
    expect_matrix(gx_state.object_matrix, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 100});
    expect_matrix(gx_state.combined_matrix, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 100});
    gx_3d_set_object(0, 0, 0, 900, 0, 0);
    expect_matrix(gx_state.object_matrix, {1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0});
    gx_3d_set_object(1, 2, 3, 3600, 3600, 3600);  // a full turn changes nothing
    expect_matrix(gx_state.combined_matrix, {1, 0, 0, 1, 0, 1, 0, 2, 0, 0, 1, 3});

    // A view that swaps x and y, doubles z and moves by (5, 6, 7); object
    // rows (1,0,0,1), (0,0,-1,2), (0,1,0,3).
    const double view[12] = {0, 1, 0, 5, 1, 0, 0, 6, 0, 0, 2, 7};
    std::copy(view, view + 12, gx_state.view_matrix);
    gx_3d_set_object(1, 2, 3, 900, 0, 0);
    expect_matrix(gx_state.combined_matrix, {0, 0, -1, 2 + 5, 1, 0, 0, 1 + 6, 0, 2, 0, 6 + 7});
}

// Each unit vector turned about x, then y, then z by std::cos and std::sin:
// column k of the matrix is where e_k lands.
TEST_F(ObjectTransform, ArbitraryAnglesMatchTheRotationProduct) {
    // (a, b) turned by the angle of cosine c and sine s.
    const auto turn = [](double& a, double& b, double c, double s) {
        const double t = c * a - s * b;
        b = s * a + c * b;
        a = t;
    };
    const int32_t angles[][3] = {{123, 456, 789}, {-450, 1350, 2999}, {3599, 1, 1800}};
    for (const auto& a : angles) {
        gx_3d_set_object(0, 0, 0, a[0], a[1], a[2]);
        const double deg = 3.14159265358979323846 / 1800;
        for (int k = 0; k < 3; ++k) {
            double e[3] = {k == 0 ? 1.0 : 0.0, k == 1 ? 1.0 : 0.0, k == 2 ? 1.0 : 0.0};
            turn(e[1], e[2], std::cos(a[0] * deg), std::sin(a[0] * deg));
            turn(e[2], e[0], std::cos(a[1] * deg), std::sin(a[1] * deg));
            turn(e[0], e[1], std::cos(a[2] * deg), std::sin(a[2] * deg));
            for (int r = 0; r < 3; ++r) {
                EXPECT_NEAR(gx_state.combined_matrix[4 * r + k], e[r], 1e-14)
                    << a[0] << " " << a[1] << " " << a[2] << " at " << r << "," << k;
            }
        }
    }
}

TEST_F(ObjectTransform, ProductSumsInTheGivenOrder) {
    // ((1e16 + 1) - 1e16) + 1: 1e16 + 1 rounds back to 1e16, so the sum is 1;
    // adding the translation in first, ((1 + 1e16) + 1) - 1e16, would give 0.
    const double view[12] = {1, 1, 1, 1, 0, 1, 0, 0, 0, 0, 1, 0};
    std::copy(view, view + 12, gx_state.view_matrix);
    gx_3d_set_object(1e16, 1, -1e16, 0, 0, 0);
    EXPECT_EQ(gx_state.combined_matrix[3], 1.0);

    // The vertex transform sums in the same order.
    const double m[12] = {1e16, 1, -1e16, 1, 0, 1, 0, 0, 0, 0, 1, 0};
    std::copy(m, m + 12, gx_state.combined_matrix);
    EXPECT_EQ(transformed({1, 1, 1}).x, 1.0);
}

}  // namespace
