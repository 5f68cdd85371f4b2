// Shared set-up for the 3D tests: every test starts from the 3D fields'
// initial values and leaves no texture table behind.
#pragma once

#include <gtest/gtest.h>

#include <cstring>

#include "gfx/gfx.h"

inline void reset_3d_state() {
    if (gx_state.texture_table != nullptr) {
        if (PfMem block = pf_mem_handle(gx_state.texture_table)) pf_mem_free(block);
    }
    const GraphicsState fresh{};
    gx_state.depth_buffer = fresh.depth_buffer;
    gx_state.depth_stamp = fresh.depth_stamp;
    gx_state.depth_buffer_words = fresh.depth_buffer_words;
    gx_state.texture_pixels = fresh.texture_pixels;
    gx_state.texture_count = fresh.texture_count;
    gx_state.texture_height = fresh.texture_height;
    gx_state.perspective_run = fresh.perspective_run;
    gx_state.texture_table = fresh.texture_table;
    gx_state.texture_width = fresh.texture_width;
    gx_state.far_plane = fresh.far_plane;
    gx_state.near_plane = fresh.near_plane;
    std::memcpy(gx_state.combined_matrix, fresh.combined_matrix, sizeof fresh.combined_matrix);
    std::memcpy(gx_state.object_matrix, fresh.object_matrix, sizeof fresh.object_matrix);
    std::memcpy(gx_state.view_matrix, fresh.view_matrix, sizeof fresh.view_matrix);
    gx_state.view_scale = fresh.view_scale;
    gx_state.view_scale_y = fresh.view_scale_y;
    gx_state.view_centre_x = fresh.view_centre_x;
    gx_state.view_centre_y = fresh.view_centre_y;
    gx_state.render_flags = fresh.render_flags;
}

class Gx3dTest : public ::testing::Test {
protected:
    void SetUp() override { reset_3d_state(); }
    void TearDown() override { reset_3d_state(); }
};
