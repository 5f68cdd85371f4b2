// The whole-buffer fill writes its pattern into a first block and copies
// that block on (or sets one repeated byte directly): every byte of buffers
// of many sizes, larger and smaller than the block and not multiples of it,
// padding included, must hold the colour's pattern, at every depth.
#include <algorithm>
#include <vector>

#include "fixture.h"

namespace {

using FillBlocks = Started;

// The bytes of one pixel filled with `color` (as gx_set_color takes it): the
// index (the start-up index map is the identity), the low 16 bits low byte
// first, or blue green red (and the fourth byte at 32 bits).
std::vector<uint8_t> pixel_bytes(int32_t depth, uint32_t color) {
    std::vector<uint8_t> bytes;
    const int32_t count = depth == 8 ? 1 : depth / 8;
    for (int32_t i = 0; i < count; ++i) bytes.push_back(static_cast<uint8_t>(color >> (8 * i)));
    return bytes;
}

TEST_F(FillBlocks, EveryByteHoldsThePattern) {
    const int32_t sizes[][2] = {{1, 1},   {4, 3},     {7, 5},    {64, 12},  {256, 3},
                                {257, 9}, {640, 480}, {641, 10}, {1000, 7}, {3, 1025},
                                {5, 3},   {3, 2},     {6, 2}};
    const uint32_t colors[] = {0x00FFFFFFu, 0x0000u, 0x00123456u, 0x00ABCDEFu, 0x7Fu,
                               0xFFFFFFFFu, 0x1234u, 0x00112233u, 0x1FEu};
    for (const int32_t depth : {8, 16, 24, 32}) {
        for (const auto& size : sizes) {
            open_buffer(depth, size[0], size[1]);
            const auto bytes = static_cast<size_t>(gx_state.active_size);
            for (const uint32_t color : colors) {
                gx_set_color(static_cast<int32_t>(color));
                const std::vector<uint8_t> pattern = pixel_bytes(depth, color);
                std::vector<uint8_t> want(bytes);
                for (size_t i = 0; i < bytes; ++i) want[i] = pattern[i % pattern.size()];
                std::memset(gx_state.active_pixels, 0x5C, bytes);
                gx_fill_buffer();
                // The first byte that differs, if any.
                const auto first_wrong = static_cast<size_t>(
                    std::mismatch(want.begin(), want.end(), gx_state.active_pixels).first -
                    want.begin());
                EXPECT_EQ(first_wrong, bytes) << "depth " << depth << ", " << size[0] << "x"
                                              << size[1] << ", colour " << color;
            }
            gx_buffer_close();
            gx_buffer_free(-1);
        }
    }
}

}  // namespace
