// The parts of the PCX layout that the reader looks at: header offsets,
// the trailing palette and the run-length code.
#pragma once

#include <cstdint>

namespace pcx {

inline constexpr uint32_t HEADER_SIZE = 128;
inline constexpr uint8_t MANUFACTURER = 10;
inline constexpr uint8_t VERSION_WITH_PALETTE = 5;

// Header offsets (little-endian fields).
inline constexpr uint32_t AT_MANUFACTURER = 0;
inline constexpr uint32_t AT_VERSION = 1;
inline constexpr uint32_t AT_BITS = 3;
inline constexpr uint32_t AT_XMIN = 4;
inline constexpr uint32_t AT_YMIN = 6;
inline constexpr uint32_t AT_XMAX = 8;
inline constexpr uint32_t AT_YMAX = 10;
inline constexpr uint32_t AT_PALETTE = 16;  // 16 red, green, blue triples
inline constexpr uint32_t AT_PLANES = 65;
inline constexpr uint32_t AT_PLANE_BYTES = 66;

inline constexpr int32_t HEADER_COLORS = 16;

// The trailing palette: a marker byte, then 256 red, green, blue triples.
inline constexpr uint32_t TRAILING_SIZE = 769;
inline constexpr uint8_t TRAILING_MARKER = 12;

// A byte of 0xC0 or more starts a run of (byte AND 0x3F) copies of the next.
inline constexpr uint8_t RUN_FLAG = 0xC0;
inline constexpr uint8_t RUN_COUNT_MASK = 0x3F;

// Room behind a scan line for the part of a run that reaches past its end.
inline constexpr uint32_t LINE_SPARE = 1024;

// At depth 8, two- and sixteen-colour pixels and the header palette use the
// slots from 10 on; a trailing palette fills slots 10 to 245.
inline constexpr int32_t FIRST_SLOT = 10;
inline constexpr int32_t SLOT_COUNT = 236;

inline uint32_t read16(const uint8_t* header, uint32_t at) {
    return static_cast<uint32_t>(header[at]) | (static_cast<uint32_t>(header[at + 1]) << 8);
}

}  // namespace pcx
