// The exact pixel loop with AVX2: eight pixels per step, texels fetched
// with gathers, the depth test as a signed comparison of words whose sign
// bits are flipped (the same order as the unsigned comparison), and the
// pixels and words that fail it blended back unchanged.
#include "gfx/raster/run_kernels.h"

#if defined(__AVX2__)
#include <immintrin.h>

namespace gx_raster {
namespace {

inline __m256i splat(uint32_t value) { return _mm256_set1_epi32(static_cast<int32_t>(value)); }

// value + i * step in lane i.
inline __m256i lanes(uint32_t value, uint32_t step) {
    const __m256i index = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    return _mm256_add_epi32(splat(value), _mm256_mullo_epi32(index, splat(step)));
}

// The texel of each lane in its low S bytes (S = 1, 2 or 3), the rest 0.
template <int S>
inline __m256i fetch(const int* texels, __m256i index) {
    if constexpr (S == 1) {
        return _mm256_and_si256(_mm256_i32gather_epi32(texels, index, 1), splat(0xFF));
    } else if constexpr (S == 2) {
        return _mm256_and_si256(_mm256_i32gather_epi32(texels, index, 2), splat(0xFFFF));
    } else {
        const __m256i offset = _mm256_add_epi32(index, _mm256_add_epi32(index, index));
        return _mm256_and_si256(_mm256_i32gather_epi32(texels, offset, 1), splat(0xFFFFFF));
    }
}

// Keeps `old` where `keep_new` is 0.
inline __m128i choose(__m128i old, __m128i fresh, __m128i keep_new) {
    return _mm_blendv_epi8(old, fresh, keep_new);
}

// Writes eight pixels from the lanes of `texel`; with a depth test only
// those whose lane in `pass` is all ones.
template <int B, bool DEPTH>
inline void write_pixels(uint8_t* p, __m256i texel, __m256i pass) {
    if constexpr (B == 4) {
        __m256i out = texel;
        if constexpr (DEPTH) {
            const __m256i old = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
            out = _mm256_blendv_epi8(old, texel, pass);
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), out);
    } else if constexpr (B == 3) {
        // Drop every fourth byte: lanes 0-3 give bytes 0-11, lanes 4-7 bytes 12-23.
        const __m128i squeeze = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
        const __m128i low = _mm_shuffle_epi8(_mm256_castsi256_si128(texel), squeeze);
        const __m128i high = _mm_shuffle_epi8(_mm256_extracti128_si256(texel, 1), squeeze);
        __m128i first = _mm_or_si128(low, _mm_slli_si128(high, 12));
        __m128i second = _mm_srli_si128(high, 4);
        if constexpr (DEPTH) {
            const __m128i mask_low = _mm_shuffle_epi8(_mm256_castsi256_si128(pass), squeeze);
            const __m128i mask_high = _mm_shuffle_epi8(_mm256_extracti128_si256(pass, 1), squeeze);
            const __m128i mask_first = _mm_or_si128(mask_low, _mm_slli_si128(mask_high, 12));
            const __m128i mask_second = _mm_srli_si128(mask_high, 4);
            first = choose(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), first, mask_first);
            second = choose(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 16)), second,
                            mask_second);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), first);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p + 16), second);
    } else {
        // Texels are below 2^16 (2^8), so the saturating packs keep them whole.
        const __m128i half = _mm_packus_epi32(_mm256_castsi256_si128(texel),
                                              _mm256_extracti128_si256(texel, 1));
        __m128i mask;
        if constexpr (DEPTH) {
            mask = _mm_packs_epi32(_mm256_castsi256_si128(pass), _mm256_extracti128_si256(pass, 1));
        }
        if constexpr (B == 2) {
            __m128i out = half;
            if constexpr (DEPTH) {
                out = choose(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), half, mask);
            }
            _mm_storeu_si128(reinterpret_cast<__m128i*>(p), out);
        } else {
            __m128i out = _mm_packus_epi16(half, half);
            if constexpr (DEPTH) {
                out = choose(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), out,
                             _mm_packs_epi16(mask, mask));
            }
            _mm_storel_epi64(reinterpret_cast<__m128i*>(p), out);
        }
    }
}

template <int B, bool DEPTH>
int32_t draw(uint8_t* pixel, uint32_t* word, const KernelRun& run) {
    constexpr int S = B == 4 ? 3 : B;
    const int32_t n = run.count & ~7;
    const int* texels = reinterpret_cast<const int*>(run.texels);
    // Column in the low half of each lane, row in the high half, so that one
    // multiply-add of 16-bit pairs gives row * width + column.
    const __m256i row_bits = splat(0xFFFF0000u);
    const __m256i row_length = splat((static_cast<uint32_t>(run.texture_width) << 16) | 1u);
    __m256i u = lanes(run.u, run.du);
    __m256i v = lanes(run.v, run.dv);
    const __m256i du8 = splat(run.du << 3);
    const __m256i dv8 = splat(run.dv << 3);
    __m256i z = _mm256_setzero_si256();
    __m256i dz8 = z;
    const __m256i sign = splat(0x80000000u);
    if constexpr (DEPTH) {
        z = lanes(run.z, run.dz);
        dz8 = splat(run.dz << 3);
    }
    for (int32_t i = 0; i < n; i += 8) {
        const __m256i place =
            _mm256_or_si256(_mm256_srli_epi32(u, 16), _mm256_and_si256(v, row_bits));
        const __m256i texel = fetch<S>(texels, _mm256_madd_epi16(place, row_length));
        __m256i pass = _mm256_setzero_si256();
        if constexpr (DEPTH) {
            __m256i* at = reinterpret_cast<__m256i*>(word + i);
            const __m256i old = _mm256_loadu_si256(at);
            pass = _mm256_cmpgt_epi32(_mm256_xor_si256(z, sign), _mm256_xor_si256(old, sign));
            _mm256_storeu_si256(at, _mm256_blendv_epi8(old, z, pass));
            z = _mm256_add_epi32(z, dz8);
        }
        write_pixels<B, DEPTH>(pixel + static_cast<ptrdiff_t>(i) * B, texel, pass);
        u = _mm256_add_epi32(u, du8);
        v = _mm256_add_epi32(v, dv8);
    }
    return n;
}

constexpr RunKernels KERNELS = {{{draw<1, false>, draw<1, true>},
                                 {draw<2, false>, draw<2, true>},
                                 {draw<3, false>, draw<3, true>},
                                 {draw<4, false>, draw<4, true>}}};

}  // namespace

const RunKernels* avx2_run_kernels() { return &KERNELS; }

}  // namespace gx_raster

#else

namespace gx_raster {
const RunKernels* avx2_run_kernels() { return nullptr; }
}  // namespace gx_raster

#endif
