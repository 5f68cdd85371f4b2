// gx_reduce_colors: makes the pixels of an 8-bit buffer fit into a run of
// palette slots by merging the closest used colours, then renumbers them.
#include <cstring>

#include "gfx/gfx.h"
#include "gfx/row_rule.h"

namespace {

// The visited pixels: the clipping rectangle, kept inside the buffer.
struct Area {
    int32_t min_x, max_x, min_y, max_y;
};

bool visited_area(Area& area) {
    const GraphicsState& s = gx_state;
    area.min_x = s.clip_min_x < 0 ? 0 : s.clip_min_x;
    area.min_y = s.clip_min_y < 0 ? 0 : s.clip_min_y;
    area.max_x = s.clip_max_x >= s.active_width ? s.active_width - 1 : s.clip_max_x;
    area.max_y = s.clip_max_y >= s.active_height ? s.active_height - 1 : s.clip_max_y;
    return area.min_x <= area.max_x && area.min_y <= area.max_y;
}

template <typename Visit>
void for_each_row(const Area& area, Visit visit) {
    const size_t length = static_cast<size_t>(area.max_x - area.min_x) + 1;
    for (int32_t y = area.min_y; y <= area.max_y; ++y) {
        visit(gx_pixel_address(area.min_x, y, 1), length);
    }
}

int32_t distance_term(const uint8_t* a, const uint8_t* b, int channel) {
    const int32_t d = a[channel] - b[channel];
    return d * d;
}

// The closest pair of used colours. Among equally close pairs the first
// visited wins, unless a later one's second member has fewer pixels than
// both of the kept pair's. A pair is abandoned as soon as its partial sum
// exceeds the best distance, which cannot change the outcome.
void closest_pair(const uint32_t* counts, const uint8_t* rgb, int32_t& kept_i, int32_t& kept_j) {
    uint32_t best = UINT32_MAX;
    uint32_t kept_min_count = 0;
    for (int32_t i = 0; i < 255; ++i) {
        if (counts[i] == 0) continue;
        const uint8_t* a = rgb + 3 * i;
        for (int32_t j = i + 1; j < 256; ++j) {
            if (counts[j] == 0) continue;
            const uint8_t* b = rgb + 3 * j;
            uint32_t d = static_cast<uint32_t>(distance_term(a, b, 0));
            if (d > best) continue;
            d += static_cast<uint32_t>(distance_term(a, b, 1));
            if (d > best) continue;
            d += static_cast<uint32_t>(distance_term(a, b, 2));
            if (d < best || (d == best && counts[j] < kept_min_count)) {
                best = d;
                kept_i = i;
                kept_j = j;
                kept_min_count = counts[i] < counts[j] ? counts[i] : counts[j];
            }
        }
    }
}

// Merges the closest pair once: the member with fewer pixels (the lower
// index on a tie) goes, and everything that pointed at it follows.
void merge_once(uint32_t* counts, uint8_t* map, const uint8_t* rgb) {
    int32_t i = 0;
    int32_t j = 0;
    closest_pair(counts, rgb, i, j);
    const int32_t victim = counts[j] < counts[i] ? j : i;
    const int32_t keeper = victim == i ? j : i;
    for (int32_t s = 0; s < 256; ++s) {
        if (map[s] == victim) {
            map[s] = static_cast<uint8_t>(keeper);
        }
    }
    counts[keeper] += counts[victim];
    counts[victim] = 0;
}

}  // namespace

int32_t gx_reduce_colors(int32_t first, int32_t count, uint8_t* rgb_palette) {
    GraphicsState& s = gx_state;
    if (s.active_buffer < 0 || s.active_depth != 8 || rgb_palette == nullptr) {
        return 0;
    }
    if (count < 1 || first < 0 || first > 256 - count) {
        return 0;  // the slots would not fit the palette
    }
    uint32_t* counts = s.reduce_counts;
    uint8_t* map = s.reduce_map;
    for (int32_t i = 0; i < 256; ++i) {
        counts[i] = 0;
        map[i] = static_cast<uint8_t>(i);
    }

    Area area{};
    const bool any_pixels = visited_area(area);
    if (any_pixels) {
        for_each_row(area, [counts](const uint8_t* row, size_t length) {
            for (size_t x = 0; x < length; ++x) {
                ++counts[row[x]];
            }
        });
    }
    int32_t used = 0;
    for (int32_t i = 0; i < 256; ++i) {
        used += counts[i] != 0 ? 1 : 0;
    }

    for (; used > count; --used) {
        merge_once(counts, map, rgb_palette);
    }

    // Compact: survivors get dense numbers in their old order.
    int32_t next = 0;
    for (int32_t i = 0; i < 256; ++i) {
        if (counts[i] != 0) {
            map[i] = static_cast<uint8_t>(next);
            std::memmove(rgb_palette + 3 * next, rgb_palette + 3 * i, 3);
            ++next;
        }
    }
    // Resolve: a merged index takes its keeper's dense number.
    for (int32_t i = 0; i < 256; ++i) {
        if (counts[i] == 0) {
            map[i] = map[map[i]];
        }
    }
    // Shift the survivors into the wanted slots; the rest turns black.
    if (first != 0) {
        std::memmove(rgb_palette + 3 * first, rgb_palette, static_cast<size_t>(3 * count));
        std::memset(rgb_palette, 0, static_cast<size_t>(3 * first));
        std::memset(rgb_palette + 3 * (first + count), 0,
                    static_cast<size_t>(3 * (256 - first - count)));
    }

    if (any_pixels) {
        const uint32_t offset = static_cast<uint32_t>(first);
        for_each_row(area, [map, offset](uint8_t* row, size_t length) {
            for (size_t x = 0; x < length; ++x) {
                row[x] = static_cast<uint8_t>(map[row[x]] + offset);
            }
        });
    }
    return 0;
}
