// The whole-buffer fill writes its pattern into a first block and copies
// that block on (or sets one repeated byte directly): every byte of buffers
// of many sizes, larger and smaller than the block and not multiples of it,
// must still hold the colour's pattern, at every depth.
#include <vector>

#include "fixture.h"

namespace {

class FillBlocks : public Library {
protected:
    void SetUp() override {
        Library::SetUp();
        gx_initialize();
    }
};

// The bytes of pixel i of a buffer of this depth filled with `color` (as
// gx_set_color takes it): the 16-bit value low byte first, blue green red
// (and the fourth byte of the 32-bit value), or the mapped index.
std::vector<uint8_t> pixel_bytes(int32_t depth, uint32_t color) {
    switch (depth) {
        case 16: return {static_cast<uint8_t>(color), static_cast<uint8_t>(color >> 8)};
        case 24:
            return {static_cast<uint8_t>(color), static_cast<uint8_t>(color >> 8),
                    static_cast<uint8_t>(color >> 16)};
        case 32:
            return {static_cast<uint8_t>(color), static_cast<uint8_t>(color >> 8),
                    static_cast<uint8_t>(color >> 16), static_cast<uint8_t>(color >> 24)};
        default: return {static_cast<uint8_t>(color)};
    }
}

TEST_F(FillBlocks, EveryByteHoldsThePattern) {
    const int32_t sizes[][2] = {{1, 1}, {4, 3}, {7, 5}, {64, 12}, {256, 3}, {257, 9},
                                {640, 480}, {641, 10}, {1000, 7}, {3, 1025}};
    const uint32_t colors[] = {0x00FFFFFFu, 0x0000u, 0x00123456u, 0x00ABCDEFu, 0x7Fu};
    for (const int32_t depth : {8, 16, 24, 32}) {
        for (const auto& size : sizes) {
            open_buffer(depth, size[0], size[1]);
            for (const uint32_t color : colors) {
                gx_set_color(static_cast<int32_t>(color));
                const uint32_t stored = depth == 8 ? gx_state.mapped_color_index
                                        : depth == 16 ? color & 0xFFFFu
                                                      : color;
                const std::vector<uint8_t> pattern = pixel_bytes(depth, stored);
                std::memset(gx_state.active_pixels, 0x5C, static_cast<size_t>(gx_state.active_size));
                gx_fill_buffer();
                for (int32_t i = 0; i < gx_state.active_size; ++i) {
                    ASSERT_EQ(gx_state.active_pixels[i], pattern[static_cast<size_t>(i) % pattern.size()])
                        << "depth " << depth << ", " << size[0] << "x" << size[1] << ", colour "
                        << color << ", byte " << i;
                }
            }
            gx_buffer_close();
            gx_buffer_free(-1);
        }
    }
}

}  // namespace
