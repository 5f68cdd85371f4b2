// The tables derived from the logical palette: rgb_table (the colour part of
// 8-bit buffers) and color_lookup (pixel values in the open buffer's format).
#include <cstring>

#include "gfx/display/display.h"

void gx_rebuild_rgb_table(int32_t first, int32_t count) {
    GraphicsState& s = gx_state;
    for (int32_t i = first; i < first + count; ++i) {
        const PfPaletteEntry& e = s.logical_palette.entries[i];
        s.rgb_table[i] = RgbQuad{e.blue, e.green, e.red, 0};
    }
}

uint32_t gx_lookup_entry(int32_t depth, uint8_t red, uint8_t green, uint8_t blue, uint8_t low) {
    switch (depth) {
        case 16: return static_cast<uint32_t>((red & 0xF8) << 8 | (green >> 2) << 5 | blue >> 3);
        case 24:
        case 32:
            return low | static_cast<uint32_t>(red) << 8 | static_cast<uint32_t>(green) << 16 |
                   static_cast<uint32_t>(blue) << 24;
        default: return 0;
    }
}

void gx_rebuild_color_lookup() {
    GraphicsState& s = gx_state;
    for (int i = 0; i < 256; ++i) {
        const PfPaletteEntry& e = s.logical_palette.entries[i];
        s.color_lookup[i] = gx_lookup_entry(s.active_depth, e.red, e.green, e.blue, 0);
    }
}

void gx_write_colour_part(uint8_t* header, int32_t usage) {
    uint8_t* part = header + GX_INFO_HEADER_SIZE;
    if (usage == static_cast<int32_t>(PF_DIB_PAL_COLORS)) {
        for (uint16_t i = 0; i < 256; ++i) std::memcpy(part + 2 * i, &i, 2);
    } else {
        std::memcpy(part, gx_state.rgb_table, sizeof gx_state.rgb_table);
    }
}

int32_t gx_screen_usage() {
    return gx_display_depth() <= 8 ? static_cast<int32_t>(PF_DIB_PAL_COLORS)
                                   : static_cast<int32_t>(PF_DIB_RGB_COLORS);
}
