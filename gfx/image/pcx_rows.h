// The row converters: one tight loop per source layout and buffer depth,
// chosen once per image.
#pragma once

#include <cstdint>

namespace pcx {

// What a converter needs besides the line: the length of one plane, and
// for palette sources at depths 16 to 32 each colour's pixel, laid out in
// memory exactly as the buffer stores it (taken from color_lookup once per
// image, after the palette stage).
struct RowContext {
    uint32_t plane_bytes = 0;
    uint32_t pixel_of[256] = {};
};

// Converts `count` source pixels, from source column `first` on, of the
// decoded scan line `line` into pixels at `out`.
using RowConverter = void (*)(const RowContext& context, const uint8_t* line, uint32_t first,
                              uint32_t count, uint8_t* out);

// The source layouts that have converters. Two, four, eight and sixteen
// colours are 1, 2, 3 and 4 planes of one bit; true colour is red, green
// and blue planes of 8 bits (a fourth, alpha, plane is not read).
enum class Layout { none, two_color, four_color, eight_color, sixteen_color, indexed, true_color };

// The layout a header's plane count and bits per pixel describe; none for
// every other pair (one plane of 2 or 4 bits, more than 4 planes, ...).
Layout layout_of(uint32_t planes, uint32_t bits);

// True when every plane line a layout reads can hold `width` pixels.
bool planes_hold_width(Layout layout, uint32_t plane_bytes, uint32_t width);

// The converter for a layout at a buffer depth, or null when there is none
// (every layout at depths other than 8, 16, 24 and 32; true colour at 8).
// Where the fast paths in force (pcx_fast.h) have a vector converter for
// the pair, that one.
RowConverter row_converter(Layout layout, int32_t depth);

// The plain converter (what row_converter gives where no fast one is in
// force). The vector converters convert a row's last few pixels with it.
RowConverter plain_row_converter(Layout layout, int32_t depth);

// Fills context.pixel_of from color_lookup for a buffer of this depth.
void prepare_pixels(RowContext& context, int32_t depth);

}  // namespace pcx
