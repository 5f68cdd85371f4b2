// True-colour row converters with SSE2: sixteen pixels per step, the three
// planes interleaved (depth 32) or packed into 5-6-5 with byte-wise masks
// (depth 16). The last few pixels of a row go through the plain converter.
#include "gfx/image/pcx_fast.h"

#if defined(__SSE2__)
#include <emmintrin.h>

namespace pcx {
namespace {

inline __m128i load(const uint8_t* at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

inline void store(uint8_t* at, __m128i value) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(at), value);
}

// Pixel bytes blue, green, red, 0.
void true_color_32(const RowContext& context, const uint8_t* line, uint32_t first, uint32_t count,
                   uint8_t* out) {
    const uint8_t* red = line + first;
    const uint8_t* green = red + context.plane_bytes;
    const uint8_t* blue = green + context.plane_bytes;
    const __m128i zero = _mm_setzero_si128();
    uint32_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m128i r = load(red + i);
        const __m128i g = load(green + i);
        const __m128i b = load(blue + i);
        const __m128i blue_green_low = _mm_unpacklo_epi8(b, g);
        const __m128i blue_green_high = _mm_unpackhi_epi8(b, g);
        const __m128i red_zero_low = _mm_unpacklo_epi8(r, zero);
        const __m128i red_zero_high = _mm_unpackhi_epi8(r, zero);
        uint8_t* pixel = out + static_cast<size_t>(i) * 4;
        store(pixel, _mm_unpacklo_epi16(blue_green_low, red_zero_low));
        store(pixel + 16, _mm_unpackhi_epi16(blue_green_low, red_zero_low));
        store(pixel + 32, _mm_unpacklo_epi16(blue_green_high, red_zero_high));
        store(pixel + 48, _mm_unpackhi_epi16(blue_green_high, red_zero_high));
    }
    if (i < count) {
        plain_row_converter(Layout::true_color, 32)(context, line, first + i, count - i,
                                                    out + static_cast<size_t>(i) * 4);
    }
}

// 5-6-5: high byte (red & 0xF8) | green >> 5, low byte (green << 3 & 0xE0)
// | blue >> 3. The 16-bit shifts carry bits across bytes, which the masks
// drop.
void true_color_16(const RowContext& context, const uint8_t* line, uint32_t first, uint32_t count,
                   uint8_t* out) {
    const uint8_t* red = line + first;
    const uint8_t* green = red + context.plane_bytes;
    const uint8_t* blue = green + context.plane_bytes;
    const __m128i red_bits = _mm_set1_epi8(static_cast<char>(0xF8));
    const __m128i green_high_bits = _mm_set1_epi8(0x07);
    const __m128i green_low_bits = _mm_set1_epi8(static_cast<char>(0xE0));
    const __m128i blue_bits = _mm_set1_epi8(0x1F);
    uint32_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m128i r = load(red + i);
        const __m128i g = load(green + i);
        const __m128i b = load(blue + i);
        const __m128i high = _mm_or_si128(_mm_and_si128(r, red_bits),
                                          _mm_and_si128(_mm_srli_epi16(g, 5), green_high_bits));
        const __m128i low = _mm_or_si128(_mm_and_si128(_mm_slli_epi16(g, 3), green_low_bits),
                                         _mm_and_si128(_mm_srli_epi16(b, 3), blue_bits));
        uint8_t* pixel = out + static_cast<size_t>(i) * 2;
        store(pixel, _mm_unpacklo_epi8(low, high));
        store(pixel + 16, _mm_unpackhi_epi8(low, high));
    }
    if (i < count) {
        plain_row_converter(Layout::true_color, 16)(context, line, first + i, count - i,
                                                    out + static_cast<size_t>(i) * 2);
    }
}

}  // namespace

void sse2_row_converters(FastPaths& paths) {
    paths.true_color_16 = true_color_16;
    paths.true_color_32 = true_color_32;
}

}  // namespace pcx

#else

namespace pcx {
void sse2_row_converters(FastPaths&) {}
}  // namespace pcx

#endif
