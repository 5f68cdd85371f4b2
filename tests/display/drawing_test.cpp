// Current colour, position and the whole-buffer fill; pixel blocks.
#include <algorithm>
#include <array>
#include <numeric>
#include <random>
#include <vector>

#include "fixture.h"

namespace {

using Drawing = Started;

// The colour: the low byte through the index map (no buffer, 8 bits), the
// low 16 bits, or as given. The fill (a first block, copied on) sets every
// byte of buffers of many sizes, padding included; closed, nothing.
TEST_F(Drawing, ColourAndFillAtEveryDepth) {
    gx_state.index_map[0x7F] = 200;
    EXPECT_EQ(gx_set_color(0x17F), 0);
    EXPECT_EQ(gx_state.current_color, 0xC8C8C8C8u);
    EXPECT_EQ((std::array{gx_state.color_index, gx_state.mapped_color_index}),
              (std::array<uint8_t, 2>{0x7F, 200}));
    const int32_t sizes[][2] = {{1, 1},    {7, 5},    {64, 12},  {256, 3}, {257, 9}, {640, 480},
                                {641, 10}, {1000, 7}, {3, 1025}, {6, 2},   {5, 3},   {3, 2}};
    const uint32_t colors[] = {0x00FFFFFFu, 0x0000u, 0x00123456u, 0x7Fu, 0xFFFFFFFFu, 0x1FEu};
    for (const int32_t depth : {8, 16, 24, 32}) {
        for (const auto& size : sizes) {
            open_buffer(depth, size[0], size[1]);
            const auto bytes = static_cast<size_t>(gx_state.active_size);
            for (const uint32_t color : colors) {
                EXPECT_EQ(gx_set_color(static_cast<int32_t>(color)), 0);
                const size_t n = std::max(1, depth / 8),
                             c = depth == 8 ? gx_state.index_map[color & 0xFF] : color;
                std::vector<uint8_t> want(bytes);
                for (size_t i = 0; i < bytes; ++i)
                    want[i] = static_cast<uint8_t>(c >> (8 * (i % n)));
                std::memset(gx_state.active_pixels, 0x5C, bytes);
                EXPECT_EQ(gx_fill_buffer(), 0);
                EXPECT_TRUE(std::equal(want.begin(), want.end(), gx_state.active_pixels))
                    << depth << " bits, " << size[0] << "x" << size[1] << ", colour " << color;
            }
            const std::vector<uint8_t> before(gx_state.active_pixels,
                                              gx_state.active_pixels + bytes);
            gx_buffer_close();
            EXPECT_EQ(gx_fill_buffer(), 0);
            EXPECT_TRUE(std::equal(before.begin(), before.end(), gx_state.buffer_slots[0].pixels));
            gx_buffer_free(-1);
        }
    }
}

// Moves add up and wrap at 32 bits, with no undefined behaviour.
TEST_F(Drawing, PositionsWrapAtThirtyTwoBits) {
    constexpr int32_t L = INT32_MIN, H = INT32_MAX;
    // x, y, dx, dy, x and y after
    const int32_t moves[][6] = {
        {0, 6, 4, 0, 4, 6}, {3, 6, -4, -7, -1, -1}, {H, L, 1, -1, L, H}, {L, H, L, L, 0, -1}};
    for (const auto& [x, y, dx, dy, to_x, to_y] : moves) {
        gx_move_to(x, y);
        EXPECT_EQ(gx_move_by(dx, dy), 0);
        EXPECT_EQ((std::array{gx_state.pos_x, gx_state.pos_y}), (std::array{to_x, to_y}));
    }
}

// Blocks against a model: bottom-left corner at the position, bottom row
// first, 2 bytes a pixel at 16 bits, 3 deeper; nothing from 8-bit or closed
// buffers or unless wholly inside.
TEST_F(Drawing, BlocksCopiedFromDeepBuffersOnlyWhenInside) {
    constexpr int32_t L = INT32_MIN, H = INT32_MAX, H2 = H - 2;
    // x, y, width, height: inside (corners, whole, last that fit), then not.
    const int32_t blocks[][4] = {
        {0, 0, 1, 1},  {15, 7, 1, 1}, {0, 7, 16, 8}, {12, 3, 4, 4}, {5, 6, 7, 3},  {-1, 7, 2, 2},
        {15, 7, 2, 1}, {0, 8, 1, 1},  {0, 0, 1, 2},  {0, 7, 17, 1}, {0, 7, 1, 9},  {0, 7, 0, 1},
        {0, 7, 1, 0},  {0, 7, -3, 2}, {0, 7, 4, L},  {H, 7, 1, 1},  {0, L, 1, 1},  {4, 7, H, 1},
        {0, 7, 1, H},  {L, 3, 4, 4},  {3, H, 4, 4},  {H2, H, 4, 4}, {13, 3, 4, 4}, {3, 2, 4, 4},
        {8, 7, H, 1},  {8, 7, 1, H}};
    std::mt19937 random(11);
    for (const int32_t depth : {0, 8, 16, 24, 32}) {  // 0: no buffer open
        if (depth != 0) open_buffer(depth, 16, 8);
        for (int32_t i = 0; i < gx_state.active_size; ++i)
            gx_state.active_pixels[i] = static_cast<uint8_t>(random());
        const int32_t bpp = depth / 8, out = depth == 16 ? 2 : 3;
        for (const auto& [x, y, w, h] : blocks) {
            std::vector<uint8_t> want(16 * 8 * 4 + 1, 0xCD), got = want;
            const bool inside = w >= 1 && h >= 1 && x >= 0 && x <= 16 - w && y < 8 && y >= h - 1;
            for (int32_t k = 0; depth >= 16 && inside && k < h; ++k)
                for (int32_t i = 0; i < w; ++i)
                    std::memcpy(&want[static_cast<size_t>((k * w + i) * out)],
                                at(x + i, y - k, bpp), static_cast<size_t>(out));
            gx_move_to(x, y);
            EXPECT_EQ(gx_get_block(got.data(), w, h), 0);
            EXPECT_EQ(got, want) << depth << " bits: " << x << "," << y << " " << w << "x" << h;
            EXPECT_EQ((std::array{gx_state.pos_x, gx_state.pos_y}), (std::array{x, y}));
        }
        EXPECT_EQ(gx_get_block(nullptr, 1, 1), 0);  // the position is inside
    }
}

// Rows reversed (model); width below 1, height below 2, no block: unchanged.
TEST_F(Drawing, InvertBlockReversesRowsAndIgnoresSizesBelowOne) {
    constexpr int32_t L = INT32_MIN, H = INT32_MAX;
    const int32_t sizes[][2] = {{1, 2},  {2, 3}, {3, 4}, {5, 5}, {0, 3}, {-2, 3},
                                {2, -3}, {2, 0}, {2, 1}, {4, L}, {H, 0}};
    for (const int32_t depth : {0, 16, 24, 32}) {  // 0: no buffer open
        if (depth != 0) open_buffer(depth, 4, 4);
        const size_t row_bytes = depth >= 24 ? 3 : 2;
        for (const auto& [w, h] : sizes) {
            std::vector<uint8_t> block(96);
            std::iota(block.begin(), block.end(), 0);
            std::vector<uint8_t> want = block;
            const size_t r = row_bytes * static_cast<size_t>(w);
            for (int32_t k = 0; w >= 1 && h >= 2 && k < h; ++k)
                std::iota(&want[static_cast<size_t>(k) * r], &want[static_cast<size_t>(k + 1) * r],
                          static_cast<uint8_t>(static_cast<size_t>(h - 1 - k) * r));
            EXPECT_EQ(gx_invert_block(block.data(), w, h), 0);
            EXPECT_EQ(block, want) << depth << " bits, " << w << "x" << h;
        }
        EXPECT_EQ(gx_invert_block(nullptr, 2, 3), 0);
    }
}

}  // namespace
