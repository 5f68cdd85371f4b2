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
    PfFile file = nullptr;     // null in memory mode
    uint8_t* chunk = nullptr;  // file mode: where chunks are read to
    uint32_t chunk_size = 0;   // file mode: bytes asked for per read
    const uint8_t* next = nullptr;
    uint32_t unread = 0;
    bool ended = false;  // the input gave out; every later line ends at once
};

// Takes the next input byte, refilling the chunk in file mode. False when
// the input has ended (and then sets `ended`).
bool take(Input& input, uint8_t& byte);

// The parts both decoders (this plain one and the fast one of pcx_fast.h)
// share: a line's start, one token taken byte by byte at the end of a chunk
// (refilling), and a line's end.

// False when the line needs no decoding: the previous run already covers
// it (`carried` is then reduced by the line), or the input has ended.
inline bool line_needs_decoding(const Input& input, uint32_t line_bytes, uint32_t& carried) {
    if (carried >= line_bytes) {
        carried -= line_bytes;
        return false;
    }
    if (input.ended) {
        carried = 0;
        return false;
    }
    return true;
}

// Takes one token (a literal, or a run code and its value) byte by byte
// and stores its bytes from `out` on; returns the address past them, or
// `out` when the input ends first (`ended` is then set). Returned rather
// than updated through a reference, which would keep the callers' output
// pointer in memory.
uint8_t* take_token(Input& input, uint8_t* out);

// Sets `carried` at the end of a line decoded up to `out` (the line ends at
// `end`): the bytes a run left past the end. True when the input has ended
// (nothing is carried: the line stops where the input did).
inline bool line_done(const Input& input, const uint8_t* out, const uint8_t* end,
                      uint32_t& carried) {
    if (input.ended) {
        carried = 0;
        return true;
    }
    carried = out > end ? static_cast<uint32_t>(out - end) : 0;
    return false;
}

// Decodes one scan line of `line_bytes` bytes into `line`, behind the
// `carried` bytes already at its start. A run that reaches past the end of
// the line leaves its excess behind the line (at most 62 bytes, so the
// buffer needs LINE_SPARE bytes of room there); `carried` then tells how
// many. The caller moves them to the start before the next line.
void decode_scan_line(Input& input, uint8_t* line, uint32_t line_bytes, uint32_t& carried);

}  // namespace pcx
