// The drawing state: current colour, current position and the whole-buffer fill.
#include <algorithm>
#include <cstring>

#include "gfx/display/display.h"

int32_t gx_set_color(int32_t color) {
    GraphicsState& s = gx_state;
    const auto v = static_cast<uint32_t>(color);
    switch (s.active_depth) {
        case 24:
        case 32: s.current_color = v; break;
        case 16: s.current_color = (v & 0xFFFF) * 0x10001u; break;
        default:
            s.color_index = static_cast<uint8_t>(v);
            s.mapped_color_index = s.index_map[s.color_index];
            s.current_color = s.mapped_color_index * 0x01010101u;
            break;
    }
    return 0;
}

int32_t gx_move_to(int32_t x, int32_t y) {
    gx_state.pos_x = x;
    gx_state.pos_y = y;
    return 0;
}

int32_t gx_move_by(int32_t dx, int32_t dy) {
    // Wraps like the 32-bit registers it models instead of overflowing.
    gx_state.pos_x = static_cast<int32_t>(static_cast<uint32_t>(gx_state.pos_x) +
                                          static_cast<uint32_t>(dx));
    gx_state.pos_y = static_cast<int32_t>(static_cast<uint32_t>(gx_state.pos_y) +
                                          static_cast<uint32_t>(dy));
    return 0;
}

// A plain fill with 32-bit stores. A 24-bit pixel pattern repeats every
// 12 bytes, i.e. every three 32-bit words; buffer sizes are multiples of 12.
int32_t gx_fill_buffer() {
    const GraphicsState& s = gx_state;
    if (s.active_buffer == -1 || s.active_size <= 0) return 0;
    const auto size = static_cast<size_t>(s.active_size);
    uint8_t* p = s.active_pixels;
    const uint32_t c = s.current_color;
    uint32_t words[3] = {c, c, c};
    size_t period = 4;
    if (s.active_depth == 24) {
        const uint8_t b = static_cast<uint8_t>(c), g = static_cast<uint8_t>(c >> 8),
                      r = static_cast<uint8_t>(c >> 16);
        const uint8_t bytes[12] = {b, g, r, b, g, r, b, g, r, b, g, r};
        std::memcpy(words, bytes, sizeof bytes);
        period = 12;
    }
    if (period == 4 && c == (c & 0xFFu) * 0x01010101u) {
        std::memset(p, static_cast<int>(c & 0xFFu), size);  // one byte repeated (white, black)
        return 0;
    }
    const size_t whole = size / period * period;
    // The pattern is stored word by word into one block, which is then
    // copied on: the library's copy moves far more bytes per instruction.
    constexpr size_t BLOCK = 3072;  // a multiple of both periods
    const size_t first = std::min(whole, BLOCK);
    auto* w = reinterpret_cast<uint32_t*>(p);
    if (period == 4) {
        std::fill_n(w, first / 4, c);
    } else {
        for (size_t i = 0; i < first / 4; i += 3) {
            w[i] = words[0];
            w[i + 1] = words[1];
            w[i + 2] = words[2];
        }
    }
    for (size_t at = first; at < whole; at += first) {
        std::memcpy(p + at, p, std::min(first, whole - at));
    }
    std::memcpy(p + whole, words, size - whole);  // never more than a period
    return 0;
}
