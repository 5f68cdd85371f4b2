// The program's start-up on the headless backend, in the folder that holds
// CUBE.PCX, with a 640 x 480 client area; torn down again after each test.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "app/scene.h"
#include "app/shell.h"
#include "gfx/gfx.h"
#include "gfx/row_rule.h"
#include "platform/headless/headless.h"

class AppTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_dir_ = std::filesystem::current_path();
        std::filesystem::current_path(std::filesystem::path(GX_SOURCE_DIR) / "app" / "assets");
        headless_reset();
        blocks_before_ = headless_live_blocks();
        objects_before_ = headless_live_objects();
        window_ = headless_window_dc(640, 480);
        app_start_up(window_);
        app_size(640, 480);
        scene_reset();
    }

    void TearDown() override {
        app_tear_down();
        pf_delete_dc(window_);
        headless_reset();
        std::filesystem::current_path(saved_dir_);
    }

    // Holds exactly these keys (scan codes); all others are up.
    static void hold(const std::vector<int32_t>& codes) {
        for (int32_t code : {KEY_LEFT_SHIFT, KEY_RIGHT_SHIFT, KEY_PAD_MINUS, KEY_PAD_PLUS, KEY_LEFT,
                             KEY_RIGHT, KEY_UP, KEY_DOWN, KEY_X, KEY_Y, KEY_Z}) {
            headless_set_scan_key(static_cast<uint32_t>(code), false);
        }
        for (int32_t code : codes) headless_set_scan_key(static_cast<uint32_t>(code), true);
    }

    // The 16-bit pixel at (x, y) of the open buffer, row 0 at the top.
    static uint16_t& pixel(int32_t x, int32_t y) {
        return *reinterpret_cast<uint16_t*>(gx_pixel_address(x, y, 2));
    }

    // Every pixel of the open buffer, row by row from the top.
    static std::vector<uint16_t> frame() {
        std::vector<uint16_t> pixels;
        for (int32_t y = 0; y < gx_state.active_height; ++y)
            for (int32_t x = 0; x < gx_state.active_width; ++x) pixels.push_back(pixel(x, y));
        return pixels;
    }

    int32_t presents() const { return headless_present_count(window_); }

    PfDC window_ = nullptr;
    int32_t blocks_before_ = 0;
    int32_t objects_before_ = 0;

private:
    std::filesystem::path saved_dir_;
};

// Colours of CUBE.PCX as 5-6-5 pixels, worked out by hand from its palette:
// ((r & 0xF8) << 8) | ((g >> 2) << 5) | (b >> 3).
inline constexpr uint16_t PCX_BORDER = 0x18C5;  // (24, 24, 40)
inline constexpr uint16_t PCX_WHITE = 0xFFFF;
inline constexpr uint16_t PCX_FACE_COLOUR[6] = {
    0xD104,  // (208, 32, 32) red
    0x2506,  // (32, 160, 48) green
    0x2A5B,  // (40, 72, 216) blue
    0xEE40,  // (232, 200, 0) yellow
    0x9196,  // (144, 48, 176) purple
    0xF3C0,  // (240, 120, 0) orange
};
