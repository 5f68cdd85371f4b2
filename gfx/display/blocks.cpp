// Pixel blocks: copying a block out of the open buffer (bottom row first)
// and reversing a block's rows.
#include <algorithm>
#include <cstring>

#include "gfx/display/display.h"
#include "gfx/row_rule.h"

// The block's bottom-left corner is the current position. Nothing is copied
// unless the whole block lies inside the open buffer.
int32_t gx_get_block(void* destination, int32_t width, int32_t height) {
    const GraphicsState& s = gx_state;
    if (s.active_buffer == -1 || destination == nullptr || width < 1 || height < 1) return 0;
    int32_t b = 0;
    if (s.active_depth == 32)
        b = 4;
    else if (s.active_depth == 24)
        b = 3;
    else if (s.active_depth == 16)
        b = 2;
    else
        return 0;
    const int64_t right = static_cast<int64_t>(s.pos_x) + width;
    const int64_t top = static_cast<int64_t>(s.pos_y) - height + 1;
    if (s.pos_x < 0 || right > s.active_width || top < 0 || s.pos_y >= s.active_height) return 0;

    auto* d = static_cast<uint8_t*>(destination);
    const uint8_t* row = gx_pixel_address(s.pos_x, s.pos_y, b);
    const auto w = static_cast<size_t>(width);
    for (int32_t k = 0; k < height; ++k, row += s.active_pitch) {
        if (b == 4) {
            // Blue, green, red of each pixel; the fourth byte is dropped.
            for (size_t i = 0; i < w; ++i) std::memcpy(d + 3 * i, row + 4 * i, 3);
            d += 3 * w;
        } else {
            std::memcpy(d, row, w * static_cast<size_t>(b));
            d += w * static_cast<size_t>(b);
        }
    }
    return 0;
}

int32_t gx_invert_block(void* block, int32_t width, int32_t height) {
    if (block == nullptr || width < 1 || height < 2) return 0;
    const size_t b = gx_state.active_depth >= 24 ? 3 : 2;
    // A block that large cannot exist; its size must not wrap on 32-bit targets.
    if (static_cast<uint64_t>(width) * b * static_cast<uint64_t>(height) > PTRDIFF_MAX) return 0;
    const size_t r = static_cast<size_t>(width) * b;
    auto* p = static_cast<uint8_t*>(block);
    for (int32_t i = 0; i < height / 2; ++i) {
        uint8_t* top = p + static_cast<size_t>(i) * r;
        uint8_t* bottom = p + static_cast<size_t>(height - 1 - i) * r;
        std::swap_ranges(top, top + r, bottom);
    }
    return 0;
}
