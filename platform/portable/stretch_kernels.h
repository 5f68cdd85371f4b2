// The stretch's vector routines, kept in files of their own (the AVX2 one
// is compiled for AVX2) behind this plain interface, so that no code built
// for a newer processor is shared with the rest of the layer.
#pragma once

#include <cstdint>

struct PfStretchPaths {
    // 16-bit 5-6-5 pixels to 0x00RRGGBB, each level widened by repeating its
    // bits from the top (5 bits: v << 3 | v >> 2; 6 bits: v << 2 | v >> 4).
    void (*widen_565)(const uint8_t* pixels, int32_t count, uint32_t* out);
    // out[i] = source[columns[i] - columns[0]] for i < count, where each
    // column is the one before or the next (an enlarging stretch) and
    // `source` holds source_count pixels. `source` may lie inside
    // out[count - source_count .. count): every pixel is read before the
    // loop writes over it.
    void (*expand)(uint32_t* out, const int32_t* columns, int32_t count, const uint32_t* source,
                   int32_t source_count);
};

// Each level's hooks: write in the level's routines. They do nothing in a
// build without the level (the file is compiled for it only on x86).
void pf_sse2_stretch_paths(PfStretchPaths& paths);
void pf_avx2_stretch_paths(PfStretchPaths& paths);
