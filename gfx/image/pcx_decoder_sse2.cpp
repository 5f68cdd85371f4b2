// Run-length decoding that finds the tokens of 32 input bytes at a time.
//
// A byte of 0xC0 or more is a run code, and the byte after a run code is its
// value whatever it is. A block that starts on a token boundary can be
// parsed without looking at one byte after another: in each stretch of
// consecutive bytes of 0xC0 or more, the first byte starts a token (the
// byte before it is a literal or a value, both of which end a token), so
// the stretch alternates code, value, code, ... The codes thus follow from
// the block's mask of high bytes with a few bit operations, and every byte
// between a run's value and the next code is a literal. The decoder visits
// the codes by their bit positions and copies the literals between them in
// one 32-byte move.
//
// Stores are whole: a literal stretch moves 32 bytes and a run stores 16
// copies of its byte at a time, so bytes just past the decoded ones receive
// something too, which later tokens overwrite. Only when the input ends in
// the middle of a line do they matter: the line must then show its previous
// contents past the last token, and those are put back from the shadow copy
// taken when the line began.
#include "gfx/image/pcx_fast.h"

#if defined(__SSE2__)
#include <emmintrin.h>

#include <cstring>

#include "gfx/image/pcx_format.h"

namespace pcx {
namespace {

constexpr uint32_t BLOCK = 32;
// A block is parsed when the chunk holds it and the 33 bytes after it: the
// value of a code in its last byte, and the 32-byte copy of the literals
// that may follow that value.
constexpr uint32_t LOOKAHEAD = 2 * BLOCK + 1;

// Bit k set when byte k of the block is RUN_FLAG or more.
inline uint32_t high_bytes(const uint8_t* block) {
    const __m128i flag = _mm_set1_epi8(static_cast<char>(RUN_FLAG));
    const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
    const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16));
    const auto low = static_cast<uint32_t>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(first, flag), first)));
    const auto high = static_cast<uint32_t>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(second, flag), second)));
    return low | high << 16;
}

// The run codes of a block that starts on a token boundary: in each stretch
// of high bytes, those at an even distance from the stretch's first byte.
inline uint32_t run_codes(uint32_t high) {
    constexpr uint32_t EVEN = 0x55555555u;
    const uint32_t starts = high & ~(high << 1);
    // Adding a stretch's first bit clears the whole stretch (the carry stops
    // at the low byte after it): what is cleared belongs to stretches that
    // start at even bytes.
    const uint32_t even_stretches = high & ~(high + (starts & EVEN));
    return (even_stretches & EVEN) | (high & ~even_stretches & ~EVEN);
}

// Stores `count` copies of `value` at `out`, in whole blocks of 16 bytes.
inline void fill(uint8_t* out, uint8_t value, uint32_t count) {
    const __m128i copies = _mm_set1_epi32(static_cast<int32_t>(value * 0x01010101u));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), copies);
    for (uint32_t k = 16; k < count; k += 16) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), copies);
    }
}

// Copies 32 bytes, of which the caller needs the first few.
inline void copy_block(uint8_t* out, const uint8_t* from) {
    const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
    const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 16));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), first);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), second);
}

// Decodes the tokens of one block (which starts on a token) until the block
// or the line ends, and returns the input bytes used: the offset of the next
// token. The literals between two run codes are copied in one go.
inline uint32_t decode_block(const uint8_t* block, uint8_t*& out, const uint8_t* end) {
    const uint32_t codes = run_codes(high_bytes(block));
    const uint32_t block_end = BLOCK + (codes >> 31);  // a last code's value is byte 32
    uint32_t pending = codes;
    uint32_t from = 0;  // the first literal not yet copied
    uint8_t* at = out;
    for (;;) {
        if (at >= end) break;
        const uint32_t code = pending != 0 ? static_cast<uint32_t>(__builtin_ctz(pending))
                                           : block_end;
        const uint32_t literals = code - from;
        const auto room = static_cast<size_t>(end - at);
        copy_block(at, block + from);
        if (literals > room) {
            // The line ends among the literals; the next one starts the next line.
            out = at + room;
            return from + static_cast<uint32_t>(room);
        }
        at += literals;
        from = code;
        if (pending == 0 || at >= end) break;
        const uint32_t count = block[code] & RUN_COUNT_MASK;
        fill(at, block[code + 1], count);
        at += count;
        from = code + 2;
        pending &= pending - 1;
    }
    out = at;
    return from;
}

void decode(Input& input, uint8_t* line, uint32_t line_bytes, uint32_t& carried, uint8_t* shadow) {
    if (!line_needs_decoding(input, line_bytes, carried)) {
        return;
    }
    std::memcpy(shadow + carried, line + carried, line_bytes - carried);
    uint8_t* out = line + carried;
    uint8_t* const end = line + line_bytes;
    while (out < end) {
        const uint8_t* next = input.next;
        uint32_t unread = input.unread;
        while (out < end && unread >= LOOKAHEAD) {
            const uint32_t used = decode_block(next, out, end);
            next += used;
            unread -= used;
        }
        input.next = next;
        input.unread = unread;
        if (out >= end) {
            break;
        }
        out = take_token(input, out);  // near the end of the chunk, refilling
        if (input.ended) {
            break;
        }
    }
    if (line_done(input, out, end, carried) && out < end) {
        std::memcpy(out, shadow + (out - line), static_cast<size_t>(end - out));
    }
}

}  // namespace

void sse2_line_decoder(FastPaths& paths) { paths.decode = decode; }

}  // namespace pcx

#else

namespace pcx {
void sse2_line_decoder(FastPaths&) {}
}  // namespace pcx

#endif
