// The stretched presentation: nearest source pixel, no blending, into a
// 32-bit 0x00RRGGBB image. Written once for every portable backend.
//
// Both axes use the same rule: destination pixel d of D takes source pixel
// floor((d + 1/2) * S / D) = ((2d + 1) * S) div (2D), in 64-bit integers.
// The column table is built once per call and each source row is converted
// once; destination rows that repeat a source row are copied.
//
// Enlarging stretches, as presentation onto a window is, take a faster path
// where the processor allows (stretch_kernels.h): each source pixel of a row
// is converted once, 5-6-5 pixels with vector arithmetic, and spread out
// through the column table with vector permutations. The per-pixel path
// stays as the plain reference the tests compare it with.
#include <algorithm>
#include <array>
#include <cstring>

#include "platform/portable/objects.h"
#include "platform/portable/portable.h"
#include "platform/portable/stretch_kernels.h"

namespace {

// One colour channel of a bit-field pixel: its position and width.
struct Channel {
    uint32_t shift = 0;
    uint32_t bits = 0;
};

Channel channel_of(uint32_t mask) {
    Channel c;
    if (mask == 0) return c;
    while ((mask & 1u) == 0) {
        mask >>= 1;
        ++c.shift;
    }
    while ((mask & 1u) != 0) {
        mask >>= 1;
        ++c.bits;
    }
    return c;
}

// Widens an n-bit level to 8 bits by repeating its bits from the top
// (5 bits: v << 3 | v >> 2; 6 bits: v << 2 | v >> 4).
uint32_t widen(uint32_t value, uint32_t bits) {
    if (bits == 0) return 0;
    if (bits >= 8) return (value >> (bits - 8)) & 0xFF;
    uint32_t out = 0;
    int32_t filled = 0;
    while (filled < 8) {
        const int32_t shift = 8 - filled - static_cast<int32_t>(bits);
        out |= shift >= 0 ? value << shift : value >> -shift;
        filled += static_cast<int32_t>(bits);
    }
    return out & 0xFF;
}

struct Masks {
    uint32_t red, green, blue;
    bool operator==(const Masks&) const = default;
};

uint32_t decode(uint32_t pixel, const Channel& r, const Channel& g, const Channel& b) {
    const auto part = [pixel](const Channel& c) {
        const uint32_t level = c.bits == 0
                                   ? 0
                                   : (pixel >> c.shift) & ((1u << std::min(c.bits, 31u)) - 1);
        return widen(level, c.bits);
    };
    return part(r) << 16 | part(g) << 8 | part(b);
}

// 16-bit pixel -> 0x00RRGGBB for one set of masks, rebuilt only when the
// masks change.
const uint32_t* table16(const Masks& masks) {
    static std::array<uint32_t, 65536> table;
    static Masks built{0, 0, 0};
    if (!(masks == built)) {
        const Channel r = channel_of(masks.red), g = channel_of(masks.green),
                      b = channel_of(masks.blue);
        for (uint32_t v = 0; v < 65536; ++v) table[v] = decode(v, r, g, b);
        built = masks;
    }
    return table.data();
}

struct Source {
    const uint8_t* pixels;
    int32_t width;
    int32_t height;
    int32_t bits;
    size_t pitch;
    const uint32_t* lookup;  // 8-bit index or 16-bit pixel -> colour
    bool plain32;            // 32-bit pixels are already 0x00RRGGBB
    Channel r, g, b;         // 32-bit bit fields otherwise
};

uint32_t load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

uint16_t load16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

// Converts n source pixels into `out`: pixel i is the row's pixel at
// column(i).
template <class Column>
void convert_pixels(const Source& s, const uint8_t* row, Column column, int32_t n, uint32_t* out) {
    switch (s.bits) {
        case 8:
            for (int32_t i = 0; i < n; ++i) out[i] = s.lookup[row[column(i)]];
            break;
        case 16:
            for (int32_t i = 0; i < n; ++i) out[i] = s.lookup[load16(row + 2 * column(i))];
            break;
        case 24:
            for (int32_t i = 0; i < n; ++i) {
                const uint8_t* p = row + 3 * column(i);
                out[i] = static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 |
                         p[0];
            }
            break;
        default:
            if (s.plain32) {
                for (int32_t i = 0; i < n; ++i) out[i] = load32(row + 4 * column(i)) & 0x00FFFFFF;
            } else {
                for (int32_t i = 0; i < n; ++i)
                    out[i] = decode(load32(row + 4 * column(i)), s.r, s.g, s.b);
            }
            break;
    }
}

// The plain path: one source row through the column table into `out`.
void convert_row(const Source& s, const uint8_t* row, const int32_t* cols, int32_t n,
                 uint32_t* out) {
    convert_pixels(
        s, row, [cols](int32_t i) { return cols[i]; }, n, out);
}

// The fast paths in force (null: the plain path), set by
// pf_select_vector_level.
PfStretchPaths active_fast_paths{nullptr, nullptr};

// An enlarging stretch (column steps of 0 or 1) converts each source pixel
// of the row once, into the end of the destination row, and spreads them
// out from there through the column table.
void convert_and_expand(const Source& s, const uint8_t* row, const int32_t* cols, int32_t n,
                        bool widen_565, uint32_t* out) {
    const int32_t first = cols[0];
    const int32_t used = cols[n - 1] - first + 1;  // at most n
    uint32_t* converted = out + (n - used);
    if (widen_565) {
        active_fast_paths.widen_565(row + 2 * first, used, converted);
    } else {
        convert_pixels(
            s, row, [first](int32_t i) { return first + i; }, used, converted);
    }
    active_fast_paths.expand(out, cols, n, converted, used);
}

// floor((2d + 1) * size / (2 * span)) for d in [0, span).
int32_t nearest(int64_t d, int64_t size, int64_t span) {
    return static_cast<int32_t>((2 * d + 1) * size / (2 * span));
}

}  // namespace

int32_t pf_portable_stretch(const PfPortableImage& image, int32_t dst_x, int32_t dst_y,
                            int32_t dst_w, int32_t dst_h, int32_t src_x, int32_t src_y,
                            int32_t src_w, int32_t src_h, const void* pixels, const void* header,
                            uint32_t usage, const PfPaletteEntry* palette, int32_t palette_count) {
    if (dst_w < 1 || dst_h < 1 || src_w < 1 || src_h < 1 || pixels == nullptr ||
        header == nullptr || image.pixels == nullptr)
        return 0;
    PfBitmapInfoHeader info;
    std::memcpy(&info, header, sizeof info);
    if (info.width < 1 || info.height < 1) return 0;
    const auto* head = static_cast<const uint8_t*>(header);

    Source s{};
    s.pixels = static_cast<const uint8_t*>(pixels);
    s.width = info.width;
    s.height = info.height;
    s.bits = info.bit_count;
    s.pitch = static_cast<size_t>(
        (static_cast<uint64_t>(info.width) * static_cast<uint64_t>(s.bits) + 31) / 32 * 4);

    uint32_t colours[256] = {};
    Masks masks{0xF800, 0x07E0, 0x001F};
    switch (s.bits) {
        case 8: {
            // The colour part follows the header: quads, or indices into the DC's palette.
            const uint8_t* part = head + info.size;
            const int32_t used = info.colors_used == 0 || info.colors_used > 256
                                     ? 256
                                     : static_cast<int32_t>(info.colors_used);
            for (int32_t i = 0; i < used; ++i) {
                if (usage == PF_DIB_PAL_COLORS) {
                    const uint16_t index = load16(part + 2 * i);
                    if (palette != nullptr && index < palette_count) {
                        const PfPaletteEntry& e = palette[index];
                        colours[i] = static_cast<uint32_t>(e.red) << 16 |
                                     static_cast<uint32_t>(e.green) << 8 | e.blue;
                    }
                } else {
                    colours[i] = load32(part + 4 * i) & 0x00FFFFFF;
                }
            }
            s.lookup = colours;
            break;
        }
        case 16:
            if (info.compression == PF_BI_BITFIELDS) {
                uint32_t m[3];
                std::memcpy(m, head + sizeof(PfBitmapInfoHeader), sizeof m);
                masks = {m[0], m[1], m[2]};
            } else {
                masks = {0x7C00, 0x03E0, 0x001F};
            }
            s.lookup = table16(masks);
            break;
        case 24: break;
        case 32: {
            s.plain32 = true;
            if (info.compression == PF_BI_BITFIELDS) {
                uint32_t m[3];
                std::memcpy(m, head + sizeof(PfBitmapInfoHeader), sizeof m);
                if (!(m[0] == 0x00FF0000 && m[1] == 0x0000FF00 && m[2] == 0x000000FF)) {
                    s.plain32 = false;
                    s.r = channel_of(m[0]);
                    s.g = channel_of(m[1]);
                    s.b = channel_of(m[2]);
                }
            }
            break;
        }
        default: return 0;
    }

    // Columns: the image-clipped destination range, trimmed to those whose
    // source column lies inside the bitmap (the map is monotonic).
    const int64_t first_col = std::max<int64_t>(0, -static_cast<int64_t>(dst_x));
    const int64_t end_col = std::min<int64_t>(dst_w, static_cast<int64_t>(image.width) - dst_x);
    int32_t n = 0;
    int64_t left = 0;
    for (int64_t i = first_col; i < end_col; ++i) {
        const int64_t col = static_cast<int64_t>(src_x) + nearest(i, src_w, dst_w);
        if (col < 0) continue;
        if (col >= s.width) break;
        if (n == 0) left = dst_x + i;
        image.column_table[n++] = static_cast<int32_t>(col);
    }
    if (n == 0) return 0;

    const PfStretchPaths& paths = active_fast_paths;
    const bool enlarging = paths.expand != nullptr && src_w <= dst_w;
    const bool widen_565 = s.bits == 16 && paths.widen_565 != nullptr &&
                           masks == Masks{0xF800, 0x07E0, 0x001F};

    const int64_t first_row = std::max<int64_t>(0, -static_cast<int64_t>(dst_y));
    const int64_t end_row = std::min<int64_t>(dst_h, static_cast<int64_t>(image.height) - dst_y);
    const uint32_t* previous = nullptr;
    int64_t previous_source = -1;
    int32_t drawn = 0;
    for (int64_t j = first_row; j < end_row; ++j) {
        // Source rows counted from the bottom; the rectangle's top row is
        // src_y + src_h - 1.
        const int64_t source = static_cast<int64_t>(src_y) + src_h - 1 - nearest(j, src_h, dst_h);
        if (source < 0 || source >= s.height) continue;
        uint32_t* out = image.pixels + (dst_y + j) * image.width + left;
        if (source == previous_source) {
            std::memcpy(out, previous, static_cast<size_t>(n) * 4);
        } else if (enlarging) {
            convert_and_expand(s, s.pixels + static_cast<size_t>(source) * s.pitch,
                               image.column_table, n, widen_565, out);
        } else {
            convert_row(s, s.pixels + static_cast<size_t>(source) * s.pitch, image.column_table, n,
                        out);
        }
        previous = out;
        previous_source = source;
        ++drawn;
    }
    return drawn;
}

void pf_select_vector_level(int32_t level) {
    PfStretchPaths paths{nullptr, nullptr};
    if (level >= 1) pf_sse2_stretch_paths(paths);
    if (level >= 2) pf_avx2_stretch_paths(paths);
    active_fast_paths = paths;
}

int32_t pf_stretch_dib(PfDC dc, int32_t dst_x, int32_t dst_y, int32_t dst_w, int32_t dst_h,
                       int32_t src_x, int32_t src_y, int32_t src_w, int32_t src_h,
                       const void* pixels, const void* header, uint32_t usage, uint32_t) {
    if (dc == nullptr || dc->kind != PfDcKind::window) return 0;
    const PfPortableImage image{dc->image.data(), dc->width, dc->height, dc->columns.data()};
    const int32_t rows = pf_portable_stretch(image, dst_x, dst_y, dst_w, dst_h, src_x, src_y, src_w,
                                             src_h, pixels, header, usage, dc->palette->entries,
                                             dc->palette->count);
    dc->present_count += 1;
    pf_backend_presented(dc);
    return rows;
}
