// Run-length decoding that finds the tokens of 32 input bytes at a time.
//
// A byte of 0xC0 or more is a run code, and the byte after a run code is its
// value whatever it is. A block that starts on a token boundary can be
// parsed without looking at one byte after another: in each stretch of
// consecutive bytes of 0xC0 or more, the first byte starts a token (the
// byte before it is a literal or a value, both of which end a token), so
// the stretch alternates code, value, code, ... The codes thus follow from
// the block's mask of high bytes with a few bit operations, every other
// byte that is not a value starts a token, and the tokens are visited by
// their bit positions with no branch on their kind.
//
// Every token stores 16 copies of its byte (a run of more than 16 bytes
// stores whole blocks of 16), so the bytes just past its end receive
// copies too; later tokens overwrite them. Only when the input ends in the
// middle of a line do they matter: the line must then show its previous
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
// A block is parsed when the chunk holds it and the byte after it (the
// value of a code in its last byte).
constexpr uint32_t LOOKAHEAD = BLOCK + 1;

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

void decode(Input& input, uint8_t* line, uint32_t line_bytes, uint32_t& carried,
            uint8_t* shadow) {
    if (carried >= line_bytes) {
        carried -= line_bytes;  // the previous run already covers this line
        return;
    }
    if (input.ended) {
        carried = 0;
        return;
    }
    std::memcpy(shadow + carried, line + carried, line_bytes - carried);
    uint8_t* out = line + carried;
    uint8_t* const end = line + line_bytes;
    while (out < end) {
        const uint8_t* next = input.next;
        uint32_t unread = input.unread;
        while (out < end && unread >= LOOKAHEAD) {
            const uint32_t codes = run_codes(high_bytes(next));
            uint32_t tokens = ~(codes << 1);  // bit 0 is always a token
            uint32_t used = BLOCK + (codes >> 31);
            do {
                const auto at = static_cast<uint32_t>(__builtin_ctz(tokens));
                if (out >= end) {
                    used = at;  // the next line starts with this token
                    break;
                }
                const uint8_t code = next[at];
                const uint8_t following = next[at + 1];
                const bool run = code >= RUN_FLAG;
                const uint8_t value = run ? following : code;
                const uint32_t count = run ? (code & RUN_COUNT_MASK) : 1u;
                fill(out, value, count);
                out += count;
                tokens &= tokens - 1;
            } while (tokens != 0);
            next += used;
            unread -= used;
        }
        input.next = next;
        input.unread = unread;
        if (out >= end) {
            break;
        }
        // Near the end of the chunk: one token byte by byte, refilling.
        uint8_t code = 0;
        if (!take(input, code)) {
            break;
        }
        if (code < RUN_FLAG) {
            fill(out, code, 1);
            ++out;
            continue;
        }
        uint8_t value = 0;
        if (!take(input, value)) {
            break;
        }
        fill(out, value, code & RUN_COUNT_MASK);
        out += code & RUN_COUNT_MASK;
    }
    if (input.ended) {
        carried = 0;  // the line stops where the input did
        if (out < end) {
            std::memcpy(out, shadow + (out - line), static_cast<size_t>(end - out));
        }
        return;
    }
    carried = out > end ? static_cast<uint32_t>(out - end) : 0;
}

}  // namespace

FastLineDecoder sse2_line_decoder() { return decode; }

}  // namespace pcx

#else

namespace pcx {
FastLineDecoder sse2_line_decoder() { return nullptr; }
}  // namespace pcx

#endif
