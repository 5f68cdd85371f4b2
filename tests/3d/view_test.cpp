// Viewport, depth planes and render flags.
#include <gtest/gtest.h>

#include <climits>

#include "fixture.h"
#include "gfx/gfx.h"

namespace {

class View : public Gx3dTest {};

TEST_F(View, ApplicationViewport) {
    EXPECT_EQ(gx_3d_viewport(0, 639, 0, 479, 0.5), 0);
    EXPECT_EQ(gx_state.view_scale, 320.0);
    EXPECT_EQ(gx_state.view_scale_y, -320.0);
    EXPECT_EQ(gx_state.view_centre_x, 320);
    EXPECT_EQ(gx_state.view_centre_y, 240);
}

TEST_F(View, OddWidthRoundsTheCentreDown) {
    gx_3d_viewport(0, 640, 0, 479, 0.5);
    EXPECT_EQ(gx_state.view_scale, 320.5);
    EXPECT_EQ(gx_state.view_scale_y, -320.5);
    EXPECT_EQ(gx_state.view_centre_x, 320);
    gx_3d_viewport(10, 20, 100, 102, 1.0);  // widths 11 and 3
    EXPECT_EQ(gx_state.view_scale, 11.0);
    EXPECT_EQ(gx_state.view_centre_x, 15);
    EXPECT_EQ(gx_state.view_centre_y, 101);
}

TEST_F(View, ExtremeBoundsDoNotOverflow) {
    gx_3d_viewport(INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX, 1.0);
    EXPECT_EQ(gx_state.view_scale, 4294967296.0);
    EXPECT_EQ(gx_state.view_centre_x, 0);
    EXPECT_EQ(gx_state.view_centre_y, 0);
    gx_3d_viewport(INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN, 1.0);
    EXPECT_EQ(gx_state.view_centre_x, INT32_MAX);
    EXPECT_EQ(gx_state.view_centre_y, INT32_MIN);
    // Reversed bounds (negative width): the half is rounded down too.
    gx_3d_viewport(10, 0, 0, 0, 1.0);  // width -9
    EXPECT_EQ(gx_state.view_scale, -9.0);
    EXPECT_EQ(gx_state.view_centre_x, 5);
}

TEST_F(View, PlanesAndFlagsAreStoredAsGiven) {
    EXPECT_EQ(gx_state.near_plane, 1.0);
    EXPECT_EQ(gx_state.far_plane, 1000.0);
    EXPECT_EQ(gx_3d_clip_planes(40, 1000), 0);
    EXPECT_EQ(gx_state.near_plane, 40.0);
    EXPECT_EQ(gx_state.far_plane, 1000.0);
    gx_3d_clip_planes(500, 2);  // not checked
    EXPECT_EQ(gx_state.near_plane, 500.0);
    EXPECT_EQ(gx_state.far_plane, 2.0);
    EXPECT_EQ(gx_3d_render_flags(13), 0);
    EXPECT_EQ(gx_state.render_flags, 13u);
    gx_3d_render_flags(0xFFFFFFF2u);
    EXPECT_EQ(gx_state.render_flags, 0xFFFFFFF2u);
}

}  // namespace
