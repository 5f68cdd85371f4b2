// The row rule shared by everything that touches pixels or depth words:
// buffer coordinates are top-down (row 0 at the top) while memory is
// bottom-up, so row y lies (active_max_y - y) rows above the pixel base.
#pragma once

#include <cstddef>
#include <cstdint>

#include "gfx/gfx.h"

inline uint8_t* gx_pixel_address(int32_t x, int32_t y, int32_t bytes_per_pixel) {
    const GraphicsState& s = gx_state;
    return s.active_pixels + static_cast<ptrdiff_t>(s.active_max_y - y) * s.active_pitch +
           static_cast<ptrdiff_t>(x) * bytes_per_pixel;
}

inline uint32_t* gx_depth_word(int32_t x, int32_t y) {
    const GraphicsState& s = gx_state;
    return s.depth_buffer + static_cast<ptrdiff_t>(s.active_max_y - y) * s.active_width + x;
}

// Bytes per pixel of a buffer depth (8, 16, 24 or 32).
inline constexpr int32_t gx_bytes_per_pixel(int32_t depth) { return depth / 8; }
