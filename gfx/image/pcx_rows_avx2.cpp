// 256-colour row converters with AVX2: eight colour numbers widened to
// lanes, their ready-made pixels gathered from the image's colour table.
// The last few pixels of a row go through the plain converter.
#include "gfx/image/pcx_fast.h"

#if defined(__AVX2__)
#include <immintrin.h>

namespace pcx {
namespace {

inline __m256i gather_pixels(const RowContext& context, const uint8_t* colors) {
    const __m256i index = _mm256_cvtepu8_epi32(
        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(colors)));
    return _mm256_i32gather_epi32(reinterpret_cast<const int*>(context.pixel_of), index, 4);
}

void indexed_32(const RowContext& context, const uint8_t* line, uint32_t first, uint32_t count,
                uint8_t* out) {
    const uint8_t* colors = line + first;
    uint32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + static_cast<size_t>(i) * 4),
                            gather_pixels(context, colors + i));
    }
    if (i < count) {
        plain_row_converter(Layout::indexed, 32)(context, line, first + i, count - i,
                                                 out + static_cast<size_t>(i) * 4);
    }
}

// Pixels of a 16-bit buffer are below 2^16, so the saturating pack keeps
// them whole.
void indexed_16(const RowContext& context, const uint8_t* line, uint32_t first, uint32_t count,
                uint8_t* out) {
    const uint8_t* colors = line + first;
    uint32_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m256i low = gather_pixels(context, colors + i);
        const __m256i high = gather_pixels(context, colors + i + 8);
        // The pack works within 128-bit halves; the permutation puts the
        // sixteen pixels back in order.
        const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi32(low, high), 0xD8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + static_cast<size_t>(i) * 2), packed);
    }
    if (i < count) {
        plain_row_converter(Layout::indexed, 16)(context, line, first + i, count - i,
                                                 out + static_cast<size_t>(i) * 2);
    }
}

}  // namespace

void avx2_row_converters(FastPaths& paths) {
    paths.indexed_16 = indexed_16;
    paths.indexed_32 = indexed_32;
}

}  // namespace pcx

#else

namespace pcx {
void avx2_row_converters(FastPaths&) {}
}  // namespace pcx

#endif
