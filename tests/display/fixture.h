// A fresh headless library with a 640 x 480 window; teardown checks for leaks.
#pragma once

#include <gtest/gtest.h>

#include <cstring>

#include "gfx/gfx.h"
#include "platform/headless/headless.h"

// The twenty static colours of a palette screen, entries 0-9 then 246-255.
inline constexpr uint8_t STATIC_COLOURS[20][3] = {
    {0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
    {128, 0, 128},   {0, 128, 128},   {192, 192, 192}, {192, 220, 192}, {164, 200, 240},
    {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0},
    {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};

class Library : public ::testing::Test {
protected:
    void SetUp() override {
        headless_reset();
        blocks_before_ = headless_live_blocks(), objects_before_ = headless_live_objects();
        gx_state = GraphicsState{};
        window_ = headless_window_dc(640, 480);
        gx_set_dc(window_);
    }

    void TearDown() override {
        headless_reset();
        gx_buffer_close();
        gx_buffer_free(-1);
        gx_shutdown();
        if (palette_ != nullptr) pf_delete_object(pf_as_object(palette_));
        pf_delete_dc(window_);
        EXPECT_EQ(headless_live_blocks(), blocks_before_) << "leaked";
        EXPECT_EQ(headless_live_objects(), objects_before_) << "leaked";
    }

    int32_t open_buffer(int32_t depth, int32_t width, int32_t height) {
        gx_set_buffer_depth(depth);
        const int32_t slot = gx_buffer_alloc(width, height);
        EXPECT_GE(slot, 0);
        EXPECT_EQ(gx_buffer_open(slot), 0);
        return slot;
    }

    // Pixel memory of the open buffer at (x, y), rows stored bottom-up.
    uint8_t* at(int32_t x, int32_t y, int32_t bytes_per_pixel) {
        return gx_state.active_pixels +
               static_cast<ptrdiff_t>(gx_state.active_height - 1 - y) * gx_state.active_pitch +
               x * bytes_per_pixel;
    }

    PfDC window_ = nullptr;
    PfPalette palette_ = nullptr;  // deleted after teardown, when it is no longer selected
    int32_t blocks_before_ = 0, objects_before_ = 0;
};

class Started : public Library {
protected:
    void SetUp() override {
        Library::SetUp();
        gx_initialize();
    }
};
