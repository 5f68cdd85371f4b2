// The portable layer's object records (private to platform/portable).
//
// Every selectable object starts with a PfObject_ as its first member, so a
// PfObject and the PfBitmap or PfPalette it came from are the same address.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/platform.h"

enum class PfKind : uint8_t { bitmap, palette, font };

struct PfObject_ {
    PfKind kind;
    bool stock;          // stock objects are never deleted
    int32_t selections;  // DCs it is selected into; such objects are not deleted
};

struct PfBitmap_ {
    PfObject_ object;
    uint8_t* pixels;  // bottom-up rows, zero-filled; null for the stock bitmap
    size_t bytes;
    int32_t width;
    int32_t height;
    int32_t bit_count;
};

struct PfPalette_ {
    PfObject_ object;
    int32_t count;
    PfPaletteEntry entries[256];
};

struct PfFont {
    PfObject_ object;
    PfTextMetrics metrics;
};

enum class PfDcKind : uint8_t { memory, window };

struct PfDC_ {
    PfDcKind kind;
    PfObject_* bitmap;  // memory DCs: the selected bitmap
    PfObject_* font;
    PfPalette_* palette;
    int32_t stretch_mode;
    int32_t present_count;
    int32_t width;  // client size of a window DC
    int32_t height;
    std::vector<uint32_t> image;   // client image, width * height
    std::vector<int32_t> columns;  // the stretch's column table, width entries
};

// The stock objects a fresh DC holds.
PfObject_* pf_portable_stock_bitmap();
PfPalette_* pf_portable_default_palette();
PfObject_* pf_portable_system_font();

// Allocation bookkeeping shared by memory blocks and DIB sections: false when
// the test hooks ask this allocation to fail.
bool pf_portable_allocation_allowed();
void pf_portable_count_object(int32_t delta);
