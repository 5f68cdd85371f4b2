// Run-length decoding of PCX scan lines from a file read in chunks or from a
// memory block.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace pcx {

// Where the encoded bytes come from. In file mode `chunk` and `chunk_size`
// name the input descriptor's area, refilled with one read at a time; in
// memory mode there is no refill and `next`/`unread` cover the rest of the
// block.
struct Input {
    PfFile file = nullptr;      // null in memory mode
    uint8_t* chunk = nullptr;   // file mode: where chunks are read to
    uint32_t chunk_size = 0;    // file mode: bytes asked for per read
    const uint8_t* next = nullptr;
    uint32_t unread = 0;
    bool ended = false;         // the input gave out; every later line ends at once
};

// Takes the next input byte, refilling the chunk in file mode. False when
// the input has ended (and then sets `ended`).
bool take(Input& input, uint8_t& byte);

// Decodes one scan line of `line_bytes` bytes into `line`, behind the
// `carried` bytes already at its start. A run that reaches past the end of
// the line leaves its excess behind the line (at most 62 bytes, so the
// buffer needs LINE_SPARE bytes of room there); `carried` then tells how
// many. The caller moves them to the start before the next line.
void decode_scan_line(Input& input, uint8_t* line, uint32_t line_bytes, uint32_t& carried);

}  // namespace pcx
