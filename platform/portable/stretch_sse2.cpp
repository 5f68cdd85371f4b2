// The stretch's SSE2 routines: 5-6-5 pixels widened eight at a time; the
// expansion through the column table one pixel at a time.
#include "platform/portable/stretch_kernels.h"

#if defined(__SSE2__)
#include <emmintrin.h>

#include <cstring>

namespace {

// One level of n bits widened to 8, as the table of the plain path does.
inline uint32_t widen(uint32_t level, int bits) {
    return bits == 5 ? (level << 3 | level >> 2) : (level << 2 | level >> 4);
}

void widen_565(const uint8_t* pixels, int32_t count, uint32_t* out) {
    const __m128i low5 = _mm_set1_epi16(0x1F);
    const __m128i low6 = _mm_set1_epi16(0x3F);
    int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + 2 * i));
        const __m128i r = _mm_srli_epi16(p, 11);
        const __m128i g = _mm_and_si128(_mm_srli_epi16(p, 5), low6);
        const __m128i b = _mm_and_si128(p, low5);
        const __m128i red = _mm_or_si128(_mm_slli_epi16(r, 3), _mm_srli_epi16(r, 2));
        const __m128i green = _mm_or_si128(_mm_slli_epi16(g, 2), _mm_srli_epi16(g, 4));
        const __m128i blue = _mm_or_si128(_mm_slli_epi16(b, 3), _mm_srli_epi16(b, 2));
        const __m128i green_blue = _mm_or_si128(_mm_slli_epi16(green, 8), blue);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_unpacklo_epi16(green_blue, red));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 4),
                         _mm_unpackhi_epi16(green_blue, red));
    }
    for (; i < count; ++i) {
        uint16_t p;
        std::memcpy(&p, pixels + 2 * i, 2);
        out[i] = widen(p >> 11u, 5) << 16 | widen((p >> 5u) & 63u, 6) << 8 | widen(p & 31u, 5);
    }
}

void expand(uint32_t* out, const int32_t* columns, int32_t count, const uint32_t* source,
            int32_t /*source_count*/) {
    const int32_t first = columns[0];
    for (int32_t i = 0; i < count; ++i) out[i] = source[columns[i] - first];
}

}  // namespace

void pf_sse2_stretch_paths(PfStretchPaths& paths) {
    paths.widen_565 = widen_565;
    paths.expand = expand;
}

#else

void pf_sse2_stretch_paths(PfStretchPaths&) {}

#endif
