#include "gfx/image/pcx_rows.h"

#include <cstring>

#include "gfx/gfx.h"
#include "gfx/image/pcx_fast.h"
#include "gfx/image/pcx_format.h"
#include "gfx/simd.h"

namespace pcx {
namespace {

// Colour number of source pixel x, per palette layout.
struct TwoColor {
    static uint32_t at(const uint8_t* line, uint32_t /*plane_bytes*/, uint32_t x) {
        return (line[x >> 3] >> (7 - (x & 7))) & 1u;
    }
};

// One bit in each of `Planes` planes; plane p gives bit p of the number.
template <uint32_t Planes>
struct Planar {
    static uint32_t at(const uint8_t* line, uint32_t plane_bytes, uint32_t x) {
        const uint32_t byte = x >> 3;
        const uint32_t shift = 7 - (x & 7);
        uint32_t color = 0;
        for (uint32_t p = 0; p < Planes; ++p) {
            color |= ((line[p * plane_bytes + byte] >> shift) & 1u) << p;
        }
        return color;
    }
};

struct Indexed {
    static uint32_t at(const uint8_t* line, uint32_t /*plane_bytes*/, uint32_t x) {
        return line[x];
    }
};

// Palette sources: at depth 8 the colour number plus a slot offset, deeper
// the colour's ready-made pixel bytes.
template <typename Source, uint32_t Bytes, uint32_t SlotOffset>
void convert_palette_row(const RowContext& context, const uint8_t* line, uint32_t first,
                         uint32_t count, uint8_t* out) {
    const uint32_t plane_bytes = context.plane_bytes;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t color = Source::at(line, plane_bytes, first + i);
        if constexpr (Bytes == 1) {
            out[i] = static_cast<uint8_t>(SlotOffset + color);
        } else {
            std::memcpy(out + static_cast<size_t>(i) * Bytes, &context.pixel_of[color], Bytes);
        }
    }
}

// True colour: plane 0 red, plane 1 green, plane 2 blue.
template <uint32_t Bytes>
void convert_true_color_row(const RowContext& context, const uint8_t* line, uint32_t first,
                            uint32_t count, uint8_t* out) {
    const uint8_t* red = line + first;
    const uint8_t* green = red + context.plane_bytes;
    const uint8_t* blue = green + context.plane_bytes;
    for (uint32_t i = 0; i < count; ++i) {
        if constexpr (Bytes == 2) {
            const uint32_t pixel = ((red[i] & 0xF8u) << 8) | ((green[i] & 0xFCu) << 3) |
                                   (blue[i] >> 3);
            out[2 * i] = static_cast<uint8_t>(pixel);
            out[2 * i + 1] = static_cast<uint8_t>(pixel >> 8);
        } else {
            uint8_t* pixel = out + static_cast<size_t>(i) * Bytes;
            pixel[0] = blue[i];
            pixel[1] = green[i];
            pixel[2] = red[i];
            if constexpr (Bytes == 4) {
                pixel[3] = 0;
            }
        }
    }
}

template <typename Source, uint32_t SlotOffset>
RowConverter palette_converter(int32_t depth) {
    switch (depth) {
        case 8: return convert_palette_row<Source, 1, SlotOffset>;
        case 16: return convert_palette_row<Source, 2, SlotOffset>;
        case 24: return convert_palette_row<Source, 3, SlotOffset>;
        case 32: return convert_palette_row<Source, 4, SlotOffset>;
        default: return nullptr;
    }
}

uint32_t bytes_for_bits(uint32_t width) { return (width + 7) / 8; }

}  // namespace

Layout layout_of(uint32_t planes, uint32_t bits) {
    if (bits == 1) {
        switch (planes) {
            case 1: return Layout::two_color;
            case 2: return Layout::four_color;
            case 3: return Layout::eight_color;
            case 4: return Layout::sixteen_color;
            default: return Layout::none;
        }
    }
    if (bits == 8) {
        if (planes == 1) return Layout::indexed;
        if (planes == 3 || planes == 4) return Layout::true_color;
    }
    return Layout::none;
}

bool planes_hold_width(Layout layout, uint32_t plane_bytes, uint32_t width) {
    switch (layout) {
        case Layout::two_color:
        case Layout::four_color:
        case Layout::eight_color:
        case Layout::sixteen_color: return plane_bytes >= bytes_for_bits(width);
        case Layout::indexed:
        case Layout::true_color: return plane_bytes >= width;
        case Layout::none: return false;
    }
    return false;
}

RowConverter plain_row_converter(Layout layout, int32_t depth) {
    switch (layout) {
        case Layout::two_color: return palette_converter<TwoColor, FIRST_SLOT>(depth);
        case Layout::four_color: return palette_converter<Planar<2>, FIRST_SLOT>(depth);
        case Layout::eight_color: return palette_converter<Planar<3>, FIRST_SLOT>(depth);
        case Layout::sixteen_color: return palette_converter<Planar<4>, FIRST_SLOT>(depth);
        case Layout::indexed: return palette_converter<Indexed, 0>(depth);
        case Layout::true_color:
            switch (depth) {
                case 16: return convert_true_color_row<2>;
                case 24: return convert_true_color_row<3>;
                case 32: return convert_true_color_row<4>;
                default: return nullptr;
            }
        case Layout::none: return nullptr;
    }
    return nullptr;
}

namespace {

// The vector converter in force for a layout and depth, if there is one.
RowConverter fast_row_converter(Layout layout, int32_t depth) {
    gx_simd_level();  // picks the fast paths on first use
    const FastPaths& fast = active_fast_paths;
    if (layout == Layout::indexed) {
        if (depth == 16) return fast.indexed_16;
        if (depth == 32) return fast.indexed_32;
    } else if (layout == Layout::true_color) {
        if (depth == 16) return fast.true_color_16;
        if (depth == 32) return fast.true_color_32;
    }
    return nullptr;
}

}  // namespace

RowConverter row_converter(Layout layout, int32_t depth) {
    const RowConverter fast = fast_row_converter(layout, depth);
    return fast != nullptr ? fast : plain_row_converter(layout, depth);
}

void prepare_pixels(RowContext& context, int32_t depth) {
    for (uint32_t c = 0; c < 256; ++c) {
        const uint32_t entry = gx_state.color_lookup[c];
        uint8_t bytes[4] = {};
        if (depth == 16) {
            bytes[0] = static_cast<uint8_t>(entry);
            bytes[1] = static_cast<uint8_t>(entry >> 8);
        } else {
            // The entry holds low, red, green, blue; the buffer wants them reversed.
            bytes[0] = static_cast<uint8_t>(entry >> 24);
            bytes[1] = static_cast<uint8_t>(entry >> 16);
            bytes[2] = static_cast<uint8_t>(entry >> 8);
            bytes[3] = static_cast<uint8_t>(entry);
        }
        std::memcpy(&context.pixel_of[c], bytes, sizeof bytes);
    }
}

}  // namespace pcx
