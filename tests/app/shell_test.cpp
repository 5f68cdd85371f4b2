// Start-up, teardown and the size, focus and paint handlers, with the
// program's own CUBE.PCX.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "app_fixture.h"

using Shell = AppTest;

namespace {

uint16_t texel(int32_t face, int32_t u, int32_t v) {
    const uint8_t* p = texture_store[face] + (v * 64 + u) * 2;
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

// A 5-6-5 pixel as the screen shows it: each field widened by bit
// replication to 0x00RRGGBB.
uint32_t widen(uint32_t v) {
    const uint32_t r = v >> 11, g = (v >> 5) & 63, b = v & 31;
    return (r << 3 | r >> 2) << 16 | (g << 2 | g >> 4) << 8 | (b << 3 | b >> 2);
}

}  // namespace

TEST_F(Shell, StartUpLeavesAWhite16BitBufferAndTheDrawingState) {
    EXPECT_EQ(gx_state.active_buffer, app_buffer);
    EXPECT_EQ(gx_state.active_depth, 16);
    EXPECT_EQ(gx_state.active_width, 640);
    EXPECT_EQ(gx_state.active_height, 480);
    EXPECT_EQ(pixel(0, 0), 0xFFFF);
    EXPECT_EQ(pixel(100, 30), 0xFFFF);  // the image was overwritten too
    EXPECT_EQ(pixel(639, 479), 0xFFFF);
    EXPECT_EQ(gx_state.depth_buffer, app_depth_buffer);
    EXPECT_EQ(gx_state.render_flags, 13u);
    EXPECT_EQ(gx_state.near_plane, 40.0);
    EXPECT_EQ(gx_state.far_plane, 1000.0);
    EXPECT_EQ(gx_state.view_scale, 320.0);
    EXPECT_EQ(gx_state.view_centre_x, 320);
    EXPECT_EQ(gx_state.view_centre_y, 240);
    EXPECT_EQ(gx_state.current_palette, app_palette);
    // Six squares cut left to right, ending one square past the sixth.
    EXPECT_EQ(gx_state.pos_x, 384);
    EXPECT_EQ(gx_state.pos_y, 63);
    for (int32_t i = 0; i < 6; ++i) EXPECT_EQ(texture_slots[i], i);
    // Focus realizes the program's palette again.
    gx_state.current_palette = nullptr;
    app_focus();
    EXPECT_EQ(gx_state.current_palette, app_palette);
}

// Texture i is the i-th square along the top of CUBE.PCX, top row first.
TEST_F(Shell, TexturesAreTheSixSquaresTopRowFirst) {
    for (int32_t face = 0; face < 6; ++face) {
        SCOPED_TRACE(face);
        const TextureSlot& slot = gx_state.texture_table[face];
        EXPECT_EQ(slot.pixels, texture_store[face]);
        EXPECT_EQ(slot.width, 64);
        EXPECT_EQ(slot.height, 64);
        EXPECT_EQ(texel(face, 0, 0), PCX_BORDER);
        EXPECT_EQ(texel(face, 63, 63), PCX_BORDER);
        EXPECT_EQ(texel(face, 2, 30), PCX_BORDER);
        EXPECT_EQ(texel(face, 6, 32), PCX_FACE_COLOUR[face]);
        EXPECT_EQ(texel(face, 57, 32), PCX_FACE_COLOUR[face]);
    }
    // The digit 1: its bottom bar (font row 6, texel rows 47 to 52) spans
    // the whole glyph, its top row (rows 11 to 16) only the middle column.
    // A block left bottom row first would swap the two.
    EXPECT_EQ(texel(0, 25, 50), PCX_WHITE);
    EXPECT_EQ(texel(0, 25, 13), PCX_FACE_COLOUR[0]);
    EXPECT_EQ(texel(0, 31, 13), PCX_WHITE);
}

TEST_F(Shell, TeardownReleasesEverythingStartUpTook) {
    app_tear_down();
    EXPECT_EQ(gx_state.active_buffer, -1);
    EXPECT_EQ(headless_live_blocks(), blocks_before_);
    // The window context is still there until the entry releases it.
    EXPECT_EQ(headless_live_objects(), objects_before_ + 1);
    pf_delete_dc(window_);
    EXPECT_EQ(headless_live_objects(), objects_before_);
    // Run the start-up again so that the fixture's teardown has its state.
    window_ = headless_window_dc(640, 480);
    app_start_up(window_);
}

TEST_F(Shell, PaintStretchesTheBufferOverTheClientArea) {
    frame_step();
    headless_resize_window_dc(window_, 320, 960);
    app_size(320, 960);
    app_paint();
    int32_t width = 0, height = 0;
    const uint32_t* image = headless_client_image(window_, &width, &height);
    ASSERT_EQ(width, 320);
    ASSERT_EQ(height, 960);
    // Half as wide, twice as high: every client pixel shows one buffer
    // pixel, one of the two columns it covers and the one row it doubles.
    for (int32_t y = 0; y < height; y += 7) {
        for (int32_t x = 0; x < width; x += 3) {
            const uint32_t shown = image[y * width + x];
            bool found = false;
            for (int32_t sx = 2 * x; sx <= 2 * x + 1 && !found; ++sx) {
                found = widen(pixel(sx, y / 2)) == shown;
            }
            ASSERT_TRUE(found) << "client pixel " << x << ", " << y;
        }
    }
}

TEST_F(Shell, AMinimizedWindowGetsNothingPainted) {
    frame_step();
    int32_t width = 0, height = 0;
    const uint32_t* image = headless_client_image(window_, &width, &height);
    ASSERT_EQ(width, 640);
    const std::vector<uint32_t> shown(image, image + 640 * 480);
    app_size(0, 0);
    app_paint();
    hold({KEY_X});
    frame_step();  // drawn into the buffer, shown nowhere
    EXPECT_EQ(angle_x, 354);
    int32_t changed = 0;  // the new frame differs from the one shown
    const std::vector<uint16_t> drawn = frame();
    for (size_t i = 0; i < drawn.size(); ++i) changed += widen(drawn[i]) != shown[i];
    EXPECT_GT(changed, 100);
    image = headless_client_image(window_, &width, &height);
    EXPECT_TRUE(std::equal(shown.begin(), shown.end(), image));
}

TEST(CubePcx, IsA256ColourVersion5ImageOfAtLeast384By64) {
    const std::string name = std::string(GX_SOURCE_DIR) + "/app/assets/CUBE.PCX";
    FILE* file = std::fopen(name.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    std::vector<uint8_t> data(1 << 20);
    data.resize(std::fread(data.data(), 1, data.size(), file));
    std::fclose(file);
    ASSERT_GT(data.size(), 128u + 769u);
    EXPECT_EQ(data[0], 10);  // manufacturer
    EXPECT_EQ(data[1], 5);   // version
    EXPECT_EQ(data[3], 8);   // bits per pixel
    EXPECT_EQ(data[65], 1);  // planes
    const int width = (data[8] | data[9] << 8) - (data[4] | data[5] << 8) + 1;
    const int height = (data[10] | data[11] << 8) - (data[6] | data[7] << 8) + 1;
    EXPECT_GE(width, 384);
    EXPECT_GE(height, 64);
    EXPECT_EQ(data[data.size() - 769], 12);  // trailing palette marker
}
