// The reader's fast paths: vector row converters and a run-length decoder
// that finds the tokens of 32 input bytes at a time. Each writes exactly the
// bytes of the plain code it stands in for (pcx_rows.cpp, pcx_decoder.cpp),
// which stays in use wherever the processor or the image rules a fast one
// out.
#pragma once

#include <cstdint>

#include "gfx/image/pcx_decoder.h"
#include "gfx/image/pcx_rows.h"

namespace pcx {

// Decodes one scan line exactly as decode_scan_line does. `shadow` holds
// line_bytes bytes of room: the decoder keeps the line's previous contents
// there, which a line cut short by the end of the input still shows past
// its last decoded byte.
using FastLineDecoder = void (*)(Input& input, uint8_t* line, uint32_t line_bytes,
                                 uint32_t& carried, uint8_t* shadow);

// Null entries have no fast version.
struct FastPaths {
    RowConverter indexed_16;
    RowConverter indexed_32;
    RowConverter true_color_16;
    RowConverter true_color_32;
    FastLineDecoder decode;
};

// The fast paths in force, set by gx_simd_select: the highest level's
// entry where it has one, else the level below's.
extern FastPaths active_fast_paths;
void select_fast_paths(int32_t level);

// Each level's hooks: write in the level's routines. They do nothing in a
// build without the level (the file is compiled for it only on x86).
void sse2_line_decoder(FastPaths& paths);
void sse2_row_converters(FastPaths& paths);
void avx2_row_converters(FastPaths& paths);

}  // namespace pcx
