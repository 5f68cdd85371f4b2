// The viewport: scales and centres, computed in 64 bits.
#include <gtest/gtest.h>

#include <climits>

#include "fixture.h"

namespace {

using View = Gx3dTest;

// The centre is the first bound plus half the width, rounded down.
TEST_F(View, ScalesAndCentresWithoutOverflow) {
    struct Case {
        int32_t x1, x2, y1, y2;
        double factor, scale;
        int32_t centre_x, centre_y;
    };
    const Case cases[] = {
        {0, 639, 0, 479, 0.5, 320.0, 320, 240},  // the program's
        {0, 640, 0, 479, 0.5, 320.5, 320, 240},
        {10, 20, 100, 102, 1.0, 11.0, 15, 101},  // widths 11 and 3
        {INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX, 1.0, 4294967296.0, 0, 0},
        {INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN, 1.0, 1.0, INT32_MAX, INT32_MIN},
        {10, 0, 0, 0, 1.0, -9.0, 5, 0},  // reversed bounds: width -9
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x1 << " " << c.x2 << " " << c.y1 << " " << c.y2);
        EXPECT_EQ(gx_3d_viewport(c.x1, c.x2, c.y1, c.y2, c.factor), 0);
        EXPECT_EQ(gx_state.view_scale, c.scale);
        EXPECT_EQ(gx_state.view_scale_y, -c.scale);
        EXPECT_EQ(gx_state.view_centre_x, c.centre_x);
        EXPECT_EQ(gx_state.view_centre_y, c.centre_y);
    }
}

}  // namespace
