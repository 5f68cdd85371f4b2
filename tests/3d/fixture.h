// Every 3D test starts from a fresh headless state and leaves no buffer,
// depth buffer or texture table behind.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include "gfx/gfx.h"
#include "gfx/row_rule.h"
#include "platform/headless/headless.h"

inline constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
inline constexpr double INF = std::numeric_limits<double>::infinity();

struct Gx3dTest : ::testing::Test {
    void SetUp() override {
        headless_reset();
        gx_state = GraphicsState{};
        gx_initialize();
        blocks_at_start_ = headless_live_blocks();
    }
    void TearDown() override {
        gx_depthbuf_free(depth_);
        gx_buffer_close();
        gx_buffer_free(-1);
        pf_mem_free(pf_mem_handle(gx_state.texture_table));  // none: a no-op
        gx_shutdown();
        gx_state = GraphicsState{};
    }
    static void open_buffer(int32_t width, int32_t height) {  // 16-bit, no row padding
        gx_set_buffer_depth(16);
        ASSERT_EQ(gx_buffer_open(gx_buffer_alloc(width, height)), 0);
    }
    // Buffer, depth buffer, a 64 x 64 texture whose texel (u, v) holds
    // v * 64 + u, the program's planes and flags, viewport factor 0.5.
    void open_canvas(int32_t width, int32_t height) {
        open_buffer(width, height);
        depth_ = gx_depthbuf_alloc(width, height);
        for (size_t i = 0; i < texels_.size(); ++i) texels_[i] = static_cast<uint16_t>(i);
        ASSERT_EQ(gx_texture_table_alloc(2), 0);
        gx_texture_select(gx_texture_define(texels_.data(), 64, 64));
        gx_3d_viewport(0, width - 1, 0, height - 1, 0.5);
        gx_3d_clip_planes(40, 1000);
        gx_3d_render_flags(13);
        new_frame();
    }
    void new_frame() {  // white (no texel holds 0xFFFF), depth zeroed, stamp 1
        gx_set_color(-1);
        gx_fill_buffer();
        gx_depthbuf_open(depth_);
        gx_depthbuf_clear();
    }
    static uint16_t pixel(int32_t x, int32_t y) {
        return *reinterpret_cast<const uint16_t*>(gx_pixel_address(x, y, 2));
    }
    static int32_t drawn() {
        int32_t n = 0;
        for (int32_t y = 0; y < gx_state.active_height; ++y)
            for (int32_t x = 0; x < gx_state.active_width; ++x) n += pixel(x, y) != 0xFFFF;
        return n;
    }
    int32_t written_words() const {
        const int32_t words = gx_state.active_width * gx_state.active_height;
        return static_cast<int32_t>(words - std::count(depth_, depth_ + words, 0u));
    }
    void expect_nothing_drawn() const { EXPECT_TRUE(drawn() == 0 && written_words() == 0); }

    uint32_t* depth_ = nullptr;
    std::vector<uint16_t> texels_ = std::vector<uint16_t>(64 * 64);
    int32_t blocks_at_start_ = 0;
};
