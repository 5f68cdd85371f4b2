// The logical palette: creation from the default table (and the system's
// static colours on palette screens), realization, and changes of a range.
#include <algorithm>

#include "gfx/display/display.h"

namespace {

void copy_default(int32_t first, int32_t last) {
    for (int32_t i = first; i <= last; ++i) {
        const uint8_t* rgb = gx_default_palette.rgb[i];
        gx_state.logical_palette.entries[i] = PfPaletteEntry{rgb[0], rgb[1], rgb[2], 1};
    }
}

}  // namespace

PfPalette gx_create_palette() {
    PfPaletteEntry* entries = gx_state.logical_palette.entries;
    const int32_t depth = gx_display_depth();
    if (depth == 8) {
        pf_system_palette_entries(0, 10, entries);
        pf_system_palette_entries(246, 10, entries + 246);
        copy_default(10, 245);
    } else if (depth < 8) {
        pf_system_palette_entries(0, 8, entries);
        pf_system_palette_entries(8, 8, entries + 248);
        copy_default(8, 247);
    } else {
        copy_default(0, 255);
    }
    gx_rebuild_rgb_table(0, 256);
    return pf_create_palette(&gx_state.logical_palette);
}

int32_t gx_realize_palette(PfPalette palette) {
    GraphicsState& s = gx_state;
    s.current_palette = palette;
    const PfPalette displaced = pf_select_palette(s.device_dc, palette, false);
    pf_realize_palette(s.device_dc);
    if (s.saved_palette == nullptr) s.saved_palette = displaced;
    return 0;
}

// Entries outside 0..255 are never written: a range running past 255 is cut
// there, and a negative first index or count changes nothing.
int32_t gx_set_palette(int32_t first, int32_t count, const uint8_t* rgb_triples) {
    GraphicsState& s = gx_state;
    if (s.active_buffer == -1 || count <= 0 || first < 0 || first > 255 || rgb_triples == nullptr)
        return 0;
    const int32_t n = std::min(count, 256 - first);
    for (int32_t k = 0; k < n; ++k) {
        const uint8_t* t = rgb_triples + 3 * k;
        s.logical_palette.entries[first + k] = PfPaletteEntry{t[0], t[1], t[2], 1};
    }
    gx_rebuild_rgb_table(first, n);
    if (s.active_depth <= 8 && s.dib_usage == 0) gx_write_colour_part(s.active_header, 0);
    pf_animate_palette(s.current_palette, first, n, s.logical_palette.entries + first);
    // At 8 bits the index is the pixel: the lookup table keeps what it holds.
    for (int32_t k = 0; s.active_depth > 8 && k < n; ++k) {
        const uint8_t* t = rgb_triples + 3 * k;
        s.color_lookup[first + k] = gx_lookup_entry(s.active_depth, t[0], t[1], t[2],
                                                    s.entry_low_byte);
    }
    return 0;
}
