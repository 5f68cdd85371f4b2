// Logical palettes: create, select, realize and animate.
#include <algorithm>
#include <cstring>

#include "platform/portable/objects.h"
#include "platform/portable/portable.h"

PfPalette_* pf_portable_default_palette() {
    // The stock palette of a fresh DC: the twenty static colours.
    static PfPalette_ palette = [] {
        static const uint8_t STATIC_ENTRIES[20][3] = {
            {0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
            {128, 0, 128},   {0, 128, 128},   {192, 192, 192}, {192, 220, 192}, {164, 200, 240},
            {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0},
            {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};
        PfPalette_ p{{PfKind::palette, true, 0}, 20, {}};
        for (int i = 0; i < 20; ++i)
            p.entries[i] = {STATIC_ENTRIES[i][0], STATIC_ENTRIES[i][1], STATIC_ENTRIES[i][2], 0};
        return p;
    }();
    return &palette;
}

PfPalette pf_create_palette(const void* logical_palette) {
    if (logical_palette == nullptr) return nullptr;
    uint16_t version_and_count[2];
    std::memcpy(version_and_count, logical_palette, sizeof version_and_count);
    const int32_t count = version_and_count[1];
    if (count < 1 || count > 256) return nullptr;
    auto* palette = new PfPalette_{{PfKind::palette, false, 0}, count, {}};
    std::memcpy(palette->entries, static_cast<const uint8_t*>(logical_palette) + 4,
                static_cast<size_t>(count) * sizeof(PfPaletteEntry));
    pf_portable_count_object(1);
    return palette;
}

PfPalette pf_select_palette(PfDC dc, PfPalette palette, bool) {
    if (dc == nullptr || palette == nullptr) return nullptr;
    PfPalette_* displaced = dc->palette;
    displaced->object.selections -= 1;
    palette->object.selections += 1;
    dc->palette = palette;
    return displaced;
}

// There is no hardware palette to load: presentation reads the selected
// palette directly.
void pf_realize_palette(PfDC) {}

void pf_animate_palette(PfPalette palette, int32_t first, int32_t count,
                        const PfPaletteEntry* entries) {
    if (palette == nullptr || entries == nullptr || first < 0 || count < 1 ||
        first >= palette->count)
        return;
    const int32_t n = std::min(count, palette->count - first);
    std::memcpy(palette->entries + first, entries, static_cast<size_t>(n) * sizeof(PfPaletteEntry));
}
