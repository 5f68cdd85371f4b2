// A fresh library on the headless backend for every test: default screen
// (32 bits), a 640 x 480 window DC handed over, start-up done. Teardown frees
// what the test left and checks that no memory block or object leaked.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "gfx/gfx.h"
#include "platform/headless/headless.h"

class Library : public ::testing::Test {
protected:
    void SetUp() override {
        headless_reset();
        blocks_before_ = headless_live_blocks();
        objects_before_ = headless_live_objects();
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
        EXPECT_EQ(headless_live_blocks(), blocks_before_) << "memory blocks leaked";
        EXPECT_EQ(headless_live_objects(), objects_before_) << "objects leaked";
    }

    // Start-up, then a buffer of this depth and size, opened.
    int32_t open_buffer(int32_t depth, int32_t width, int32_t height) {
        gx_set_buffer_depth(depth);
        const int32_t slot = gx_buffer_alloc(width, height);
        EXPECT_GE(slot, 0);
        EXPECT_EQ(gx_buffer_open(slot), 0);
        return slot;
    }

    // Pixel memory of the open buffer at (x, y), by the bottom-up row rule
    // worked out here independently of the library's helper.
    uint8_t* at(int32_t x, int32_t y, int32_t bytes_per_pixel) {
        return gx_state.active_pixels +
               static_cast<ptrdiff_t>(gx_state.active_height - 1 - y) * gx_state.active_pitch +
               x * bytes_per_pixel;
    }

    uint16_t pixel16(int32_t x, int32_t y) {
        uint16_t v;
        std::memcpy(&v, at(x, y, 2), 2);
        return v;
    }

    // The header of the open buffer (or of a slot) as read by a DIB consumer.
    static PfBitmapV4Header header_of(int32_t slot) {
        PfBitmapV4Header h{};
        const int32_t bytes = gx_state.buffer_slots[slot].depth == 16 ||
                                      gx_state.buffer_slots[slot].depth == 32
                                  ? 108
                                  : 40;
        std::memcpy(&h, gx_state.buffer_slots[slot].header, static_cast<size_t>(bytes));
        return h;
    }

    PfDC window_ = nullptr;
    PfPalette palette_ = nullptr;  // deleted after teardown, when it is no longer selected

private:
    int32_t blocks_before_ = 0;
    int32_t objects_before_ = 0;
};

// The same with start-up already done.
class Started : public Library {
protected:
    void SetUp() override {
        Library::SetUp();
        gx_initialize();
    }
};
