// Current colour, current position and the whole-buffer fill.
#include <algorithm>
#include <array>
#include <vector>

#include "fixture.h"

namespace {

using Drawing = Started;

// Before any buffer and at 8 bits the low byte through the index map,
// repeated; at 16 bits the low 16 bits twice; deeper the value as given.
TEST_F(Drawing, ColourAtEveryDepth) {
    gx_state.index_map[7] = 200;
    const uint32_t cases[][3] = {// depth (0: no buffer), colour, current colour
                                 {0, 0x1FF, 0xFFFFFFFF},      {0, 7, 0xC8C8C8C8},
                                 {8, 0x107, 0xC8C8C8C8},      {16, 0xFFFFFFFF, 0xFFFFFFFF},
                                 {16, 0x5A1234, 0x12341234},  {24, 0xABCDEF, 0xABCDEF},
                                 {32, 0xFF123456, 0xFF123456}};
    for (const auto& [depth, colour, current] : cases) {
        if (depth != 0) open_buffer(static_cast<int32_t>(depth), 8, 8);
        EXPECT_EQ(gx_set_color(static_cast<int32_t>(colour)), 0);
        EXPECT_EQ(gx_state.current_color, current) << depth << " bits, " << colour;
    }
    EXPECT_EQ((std::array{gx_state.color_index, gx_state.mapped_color_index}),
              (std::array<uint8_t, 2>{7, 200}));
}

// The fill writes its pattern into a first block and copies that on: every
// byte of buffers larger and smaller than the block and not multiples of it,
// padding included, holds the pixel's bytes (the index; the low 16 bits; blue,
// green, red and at 32 bits the fourth byte).
TEST_F(Drawing, FillSetsEveryByteOfEveryBuffer) {
    const int32_t sizes[][2] = {{1, 1},    {7, 5},    {64, 12},  {256, 3}, {257, 9}, {640, 480},
                                {641, 10}, {1000, 7}, {3, 1025}, {6, 2},   {5, 3},   {3, 2}};
    const uint32_t colors[] = {0x00FFFFFFu, 0x0000u, 0x00123456u, 0x7Fu, 0xFFFFFFFFu, 0x1FEu};
    for (const int32_t depth : {8, 16, 24, 32}) {
        for (const auto& size : sizes) {
            open_buffer(depth, size[0], size[1]);
            const auto bytes = static_cast<size_t>(gx_state.active_size);
            for (const uint32_t color : colors) {
                gx_set_color(static_cast<int32_t>(color));
                const size_t n = static_cast<size_t>(std::max(1, depth / 8));
                std::vector<uint8_t> want(bytes);
                for (size_t i = 0; i < bytes; ++i)
                    want[i] = static_cast<uint8_t>(color >> (8 * (i % n)));
                std::memset(gx_state.active_pixels, 0x5C, bytes);
                EXPECT_EQ(gx_fill_buffer(), 0);
                EXPECT_TRUE(std::equal(want.begin(), want.end(), gx_state.active_pixels))
                    << depth << " bits, " << size[0] << "x" << size[1] << ", colour " << color;
            }
            gx_buffer_close();
            gx_buffer_free(-1);
        }
    }
}

TEST_F(Drawing, FillWithNoBufferOpenWritesNothing) {
    const int32_t slot = open_buffer(16, 8, 8);
    gx_buffer_close();
    gx_set_color(0x7777);
    EXPECT_EQ(gx_fill_buffer(), 0);
    const uint8_t* p = gx_state.buffer_slots[slot].pixels;
    EXPECT_TRUE(std::all_of(p, p + 128, [](uint8_t v) { return v == 0; }));
}

// Moves add up and wrap at 32 bits, with no undefined behaviour.
TEST_F(Drawing, PositionsWrapAtThirtyTwoBits) {
    const struct {
        int32_t x, y, dx, dy, want_x, want_y;
    } moves[] = {{0, 63, 64, 0, 64, 63},
                 {384, 63, -400, -70, -16, -7},
                 {INT32_MAX, INT32_MIN, 1, -1, INT32_MIN, INT32_MAX},
                 {INT32_MIN, INT32_MAX, INT32_MIN, INT32_MIN, 0, -1}};
    for (const auto& m : moves) {
        EXPECT_EQ(gx_move_to(m.x, m.y), 0);
        EXPECT_EQ(gx_move_by(m.dx, m.dy), 0);
        EXPECT_EQ((std::array{gx_state.pos_x, gx_state.pos_y}), (std::array{m.want_x, m.want_y}));
    }
}

}  // namespace
