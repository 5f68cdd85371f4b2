// Pieces shared inside gfx/display: the default palette and the colour-table
// builders used by palette changes, buffer allocation and buffer opening.
#pragma once

#include <cstdint>

#include "gfx/gfx.h"

// The library's default palette: 256 red, green, blue triples.
struct DefaultPalette {
    uint8_t rgb[256][3];
};
extern const DefaultPalette gx_default_palette;

// rgb_table entry i <- logical_palette entry i, for i in [first, first + count).
void gx_rebuild_rgb_table(int32_t first, int32_t count);

// The color_lookup entry of one colour for a buffer depth: 5-6-5 at 16
// bits; bytes low, red, green, blue at 24 and 32 bits; 0 otherwise.
uint32_t gx_lookup_entry(int32_t depth, uint8_t red, uint8_t green, uint8_t blue, uint8_t low);

// All 256 color_lookup entries from logical_palette for the open depth,
// with low byte 0.
void gx_rebuild_color_lookup();

// An 8-bit buffer's header is the 40-byte info header; its colour part
// follows: 256 16-bit palette indices (usage 1) or the rgb_table quads.
inline constexpr int32_t GX_INFO_HEADER_SIZE = 40;
void gx_write_colour_part(uint8_t* header, int32_t usage);

// The colour usage 8-bit buffers get on the current screen.
int32_t gx_screen_usage();
