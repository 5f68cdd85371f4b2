// The program's start-up, message handlers, frame step and tick clock on the
// headless backend, run in the folder of CUBE.PCX with a 640 x 480 client area.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <vector>

#include "app/pacing.h"
#include "app/scene.h"
#include "app/shell.h"
#include "gfx/gfx.h"
#include "gfx/row_rule.h"
#include "platform/headless/headless.h"

namespace {

// Scan codes of PC set 1, written out here so a wrong code in the program shows.
constexpr int32_t LSHIFT = 0x2A, RSHIFT = 0x36, MINUS = 0x4A, PLUS = 0x4E, LEFT = 0x4B;
constexpr int32_t RIGHT = 0x4D, UP = 0x48, DOWN = 0x50, X = 0x2D, Y = 0x15, Z = 0x2C;

// CUBE.PCX colours as 5-6-5 pixels, worked out by hand from its palette: the
// border (24, 24, 40), then red, green, blue, yellow, purple, orange.
constexpr uint16_t BORDER = 0x18C5, WHITE = 0xFFFF;
constexpr uint16_t FACE_COLOUR[6] = {0xD104, 0x2506, 0x2A5B, 0xEE40, 0x9196, 0xF3C0};

// A 5-6-5 pixel as the screen shows it: each field widened by bit replication.
uint32_t widen(uint32_t v) {
    const uint32_t r = v >> 11, g = (v >> 5) & 63, b = v & 31;
    return (r << 3 | r >> 2) << 16 | (g << 2 | g >> 4) << 8 | (b << 3 | b >> 2);
}

struct App : ::testing::Test {
    void SetUp() override {
        saved_dir_ = std::filesystem::current_path();
        std::filesystem::current_path(std::filesystem::path(GX_SOURCE_DIR) / "app" / "assets");
        headless_reset();
        blocks_before_ = headless_live_blocks();
        objects_before_ = headless_live_objects();
        app_start_up(window_ = headless_window_dc(640, 480));
        app_size(640, 480);
        scene_reset();
    }
    // Tear-down releases all that start-up took but the window, which the entry frees.
    void TearDown() override {
        app_tear_down();
        EXPECT_TRUE(gx_state.active_buffer == -1 && headless_live_blocks() == blocks_before_);
        EXPECT_EQ(headless_live_objects(), objects_before_ + 1);
        pf_delete_dc(window_);
        EXPECT_EQ(headless_live_objects(), objects_before_);
        headless_reset();
        std::filesystem::current_path(saved_dir_);
    }
    static void hold(const std::vector<int32_t>& codes) {  // exactly these keys
        for (int32_t code : {LSHIFT, RSHIFT, MINUS, PLUS, LEFT, RIGHT, UP, DOWN, X, Y, Z})
            headless_set_scan_key(static_cast<uint32_t>(code), false);
        for (int32_t code : codes) headless_set_scan_key(static_cast<uint32_t>(code), true);
    }
    static uint16_t& pixel(int32_t x, int32_t y) {
        return *reinterpret_cast<uint16_t*>(gx_pixel_address(x, y, 2));
    }
    static std::vector<uint16_t> frame() {  // top row first, whatever the row order in memory
        std::vector<uint16_t> pixels;
        for (int32_t y = 0; y < 480; ++y)
            for (int32_t x = 0; x < 640; ++x) pixels.push_back(pixel(x, y));
        return pixels;
    }
    std::vector<uint32_t> shown(int32_t w, int32_t h) const {
        int32_t width = 0, height = 0;
        const uint32_t* image = headless_client_image(window_, &width, &height);
        EXPECT_TRUE(width == w && height == h);
        return std::vector<uint32_t>(image, image + w * h);
    }
    static uint16_t texel(int32_t face, int32_t u, int32_t v) {
        const uint8_t* p = texture_store[face] + (v * 64 + u) * 2;
        return static_cast<uint16_t>(p[0] | p[1] << 8);
    }

    PfDC window_ = nullptr;
    int32_t blocks_before_ = 0, objects_before_ = 0;
    std::filesystem::path saved_dir_;
};

// A white buffer, the drawing state, and texture i the i-th square along the
// top of CUBE.PCX, top row first: the digit 1 of face 0 has its full bar at
// the bottom (texel rows 47 to 52), only its middle column at the top (11 to 16).
TEST_F(App, StartUpStateAndTextures) {
    EXPECT_TRUE(gx_state.active_buffer == app_buffer && gx_state.active_depth == 16);
    EXPECT_EQ(frame(), std::vector<uint16_t>(640 * 480, WHITE));
    EXPECT_TRUE(gx_state.depth_buffer == app_depth_buffer && gx_state.render_flags == 13u &&
                gx_state.near_plane == 40 && gx_state.far_plane == 1000);
    EXPECT_TRUE(gx_state.view_scale == 320 && gx_state.view_centre_x == 320 &&
                gx_state.view_centre_y == 240 && gx_state.pos_x == 384 &&
                gx_state.pos_y == 63);  // the pen one square past the sixth
    for (int32_t face = 0; face < 6; ++face) {
        const TextureSlot& slot = gx_state.texture_table[face];
        const uint16_t colour = FACE_COLOUR[face];
        EXPECT_TRUE(texture_slots[face] == face && slot.pixels == texture_store[face] &&
                    slot.width == 64 && slot.height == 64 && texel(face, 0, 0) == BORDER &&
                    texel(face, 63, 63) == BORDER && texel(face, 2, 30) == BORDER &&
                    texel(face, 6, 32) == colour && texel(face, 57, 32) == colour)
            << face;
    }
    EXPECT_TRUE(texel(0, 25, 50) == WHITE && texel(0, 25, 13) == FACE_COLOUR[0] &&
                texel(0, 31, 13) == WHITE);
    gx_state.current_palette = nullptr;
    app_focus();  // realizes the program's palette again
    EXPECT_EQ(gx_state.current_palette, app_palette);
}

// The first turn draws without a key and presents the buffer widened: face 0
// spans (240, 160) to (400, 320), its corner (-20, 20, -20) at depth 80
// projecting to 320 - 80 and 240 - 80. Red (26, 8, 4) shows as 0xD62021.
// Later turns draw and present only when a key changed something: with no
// key or Shift alone a pixel the fill would overwrite survives.
TEST_F(App, FirstFrameIsDrawnThenOnlyWhenSomethingChanged) {
    const int32_t before = headless_present_count(window_);
    frame_step();
    EXPECT_TRUE(redraw == 0 && headless_present_count(window_) == before + 1);
    // clang-format off
    const struct { int32_t x, y; uint16_t colour; } probes[] = {
        {0, 0, WHITE},      {239, 240, WHITE},  {241, 240, BORDER}, {262, 240, FACE_COLOUR[0]},
        {320, 165, BORDER}, {398, 318, BORDER}, {401, 240, WHITE},  {320, 321, WHITE}};
    // clang-format on
    for (const auto& p : probes) EXPECT_EQ(pixel(p.x, p.y), p.colour) << p.x << ", " << p.y;
    std::vector<uint32_t> expected;
    for (uint16_t v : frame()) expected.push_back(widen(v));
    EXPECT_TRUE(shown(640, 480) == expected);
    EXPECT_EQ(expected[240 * 640 + 262], 0x00D62021u);
    pixel(5, 5) = 0x1234;
    for (const std::vector<int32_t>& keys : {std::vector<int32_t>{}, {LSHIFT}, {RSHIFT}}) {
        hold(keys);
        frame_step();
        EXPECT_TRUE(pixel(5, 5) == 0x1234 && headless_present_count(window_) == before + 1);
    }
    EXPECT_EQ(angle_x + angle_y + angle_z, 0);
    hold({Z});
    frame_step();
    EXPECT_TRUE(angle_z == 354 && pixel(5, 5) == WHITE && redraw == 0);
    EXPECT_EQ(headless_present_count(window_), before + 2);
}

// Half as wide, twice as high: every client pixel shows one of the two buffer
// columns it covers in the one row it doubles. A minimized window (0 x 0)
// then gets nothing painted, though the buffer is drawn.
TEST_F(App, PaintStretchesTheBufferOverTheClientArea) {
    frame_step();
    headless_resize_window_dc(window_, 320, 960);
    app_size(320, 960);
    app_paint();
    const std::vector<uint32_t> image = shown(320, 960);
    for (int32_t y = 0; y < 960; y += 7)
        for (int32_t x = 0; x < 320; x += 3)
            ASSERT_TRUE(widen(pixel(2 * x, y / 2)) == image[y * 320 + x] ||
                        widen(pixel(2 * x + 1, y / 2)) == image[y * 320 + x])
                << x << ", " << y;
    const std::vector<uint16_t> drawn = frame();
    app_size(0, 0);
    app_paint();
    hold({X});
    frame_step();
    EXPECT_TRUE(angle_x == 354 && frame() != drawn);
    EXPECT_EQ(shown(320, 960), image);
}

// Held keys, one turn a row (reset to the start where a row says so). First
// all nine, released one by one from the top: only the highest held acts.
// Keypad minus wins over plus, a movement hides a turn, angles wrap into
// 0..359, and either Shift turns the other way but leaves movements.
TEST_F(App, KeyScripts) {
    const std::vector<int32_t> all = {MINUS, PLUS, LEFT, RIGHT, UP, DOWN, X, Y, Z};
    const auto from = [&](ptrdiff_t i) { return std::vector<int32_t>(all.begin() + i, all.end()); };
    // clang-format off
    const struct { bool reset; std::vector<int32_t> keys; double x, y, z; int32_t ax, ay, az; }
    turns[] = {
        {true, from(0), 0, 0, 103, 0, 0, 0},        {false, from(1), 0, 0, 100, 0, 0, 0},
        {false, from(2), -3, 0, 100, 0, 0, 0},      {false, from(3), 0, 0, 100, 0, 0, 0},
        {false, from(4), 0, 3, 100, 0, 0, 0},       {false, from(5), 0, 0, 100, 0, 0, 0},
        {false, from(6), 0, 0, 100, 354, 0, 0},     {false, from(7), 0, 0, 100, 354, 354, 0},
        {false, from(8), 0, 0, 100, 354, 354, 354}, {true, {MINUS, PLUS}, 0, 0, 103, 0, 0, 0},
        {false, {MINUS, PLUS}, 0, 0, 106, 0, 0, 0}, {true, {RIGHT, Y}, 3, 0, 100, 0, 0, 0},
        {false, {RIGHT, Y}, 6, 0, 100, 0, 0, 0},    {true, {PLUS}, 0, 0, 97, 0, 0, 0},
        {false, {DOWN}, 0, -3, 97, 0, 0, 0},        {false, {DOWN}, 0, -6, 97, 0, 0, 0},
        {true, {X}, 0, 0, 100, 354, 0, 0},          {false, {LSHIFT, X}, 0, 0, 100, 0, 0, 0},
        {false, {LSHIFT, X}, 0, 0, 100, 6, 0, 0},   {false, {X}, 0, 0, 100, 0, 0, 0},
        {true, {RSHIFT, Y}, 0, 0, 100, 0, 6, 0},    {false, {LSHIFT, Z}, 0, 0, 100, 0, 6, 6},
        {false, {RSHIFT, LSHIFT, X}, 0, 0, 100, 6, 6, 6}, {false, {LSHIFT, RIGHT}, 3, 0, 100, 6, 6, 6}};
    // clang-format on
    int row = 0;
    for (const auto& t : turns) {
        if (t.reset) scene_reset();
        hold(t.keys);
        frame_step();
        EXPECT_TRUE(cube_x == t.x && cube_y == t.y && cube_z == t.z && angle_x == t.ax &&
                    angle_y == t.ay && angle_z == t.az)
            << "row " << row++;
    }
}

// Six squares of side 40 centred on the origin, one per side of the cube,
// corners listed around each: every coordinate is +-20, each corner differs
// from the next in one coordinate, and the centres are the six side centres.
TEST(CubeModel, SixSquaresOneOnEachSide) {
    std::vector<std::array<double, 3>> centres(6);
    for (int f = 0; f < 6; ++f) {
        for (int k = 0; k < 4; ++k) {
            const Vertex3 &a = cube_faces[f][k], &b = cube_faces[f][(k + 1) % 4];
            EXPECT_TRUE(std::abs(a.x) == 20 && std::abs(a.y) == 20 && std::abs(a.z) == 20 &&
                        (a.x != b.x) + (a.y != b.y) + (a.z != b.z) == 1);
            centres[f] = {centres[f][0] + a.x / 4, centres[f][1] + a.y / 4,
                          centres[f][2] + a.z / 4};
        }
    }
    std::sort(centres.begin(), centres.end());
    EXPECT_EQ(centres,
              (std::vector<std::array<double, 3>>{
                  {-20, 0, 0}, {0, -20, 0}, {0, 0, -20}, {0, 0, 20}, {0, 20, 0}, {20, 0, 0}}));
}

// Simulated time; tick n starts n * 1e9 / 60 ns after tick 0, the first call.
// Waits round up to whole milliseconds; a busy stretch of 100 ms gives one
// tick, not six, and the ticks after it keep their times.
TEST(TickClock, TicksAndWaits) {
    constexpr int64_t MS = 1000000, T0 = 5000 * MS;  // an arbitrary start
    const auto tick = [&](int64_t n) { return T0 + n * 1000000000 / 60; };
    // clang-format off
    const struct { int64_t at; uint32_t wait_ms; bool due; } steps[] = {
        {T0, 0, true}, {T0, 17, false}, {T0 + 16 * MS, 1, false}, {tick(1) - 1, 1, false},
        {tick(1), 0, true}, {tick(1) + 1, 17, false}, {tick(2) - 1, 1, false}, {tick(2), 0, true},
        {T0 + 40 * MS, 10, false}, {T0 + 100 * MS, 0, true}, {T0 + 100 * MS, 17, false},
        {tick(7) - 1, 1, false}, {tick(7), 0, true}, {tick(8) - 1, 1, false}, {tick(8), 0, true}};
    // clang-format on
    TickClock clock;
    for (const auto& s : steps) {
        EXPECT_EQ(tick_wait_ms(clock, s.at), s.wait_ms) << s.at - T0;  // before the tick_due call
        EXPECT_EQ(tick_due(clock, s.at), s.due) << s.at - T0;
    }
}

}  // namespace
