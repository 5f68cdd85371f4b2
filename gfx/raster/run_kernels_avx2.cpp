// The exact pixel loop with AVX2, eight pixels per step.
//
// Texels: a group of eight pixels whose texels lie on at most two texture
// rows and within a few neighbouring columns (as on any magnified texture)
// takes them from one 16-byte load per row, spread to the pixels with a
// byte shuffle. Other groups load their texels one by one: on the
// processors measured, AVX2's gather instruction took several times as long
// as eight loads and inserts.
//
// Depth: the test is a signed comparison of words whose sign bits are
// flipped (the same order as the unsigned comparison), and the pixels and
// words that fail it are blended back unchanged.
#include "gfx/raster/run_kernels.h"

#if defined(__AVX2__)
#include <immintrin.h>

#include <cstring>

namespace gx_raster {
namespace {

inline __m256i splat(uint32_t value) { return _mm256_set1_epi32(static_cast<int32_t>(value)); }

inline __m128i low_half(__m256i value) { return _mm256_castsi256_si128(value); }
inline __m128i high_half(__m256i value) { return _mm256_extracti128_si256(value, 1); }

// value + i * step in lane i.
inline __m256i lanes(uint32_t value, uint32_t step) {
    const __m256i index = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    return _mm256_add_epi32(splat(value), _mm256_mullo_epi32(index, splat(step)));
}

inline __m128i load16(const uint8_t* at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

// Texels as the pixel writes take them: eight bytes (1-byte texels) or
// eight 16-bit values in a 128-bit vector, else eight 32-bit lanes holding
// the three texel bytes and a 0.
template <int S>
struct Texels;
template <>
struct Texels<1> {
    using type = __m128i;
};
template <>
struct Texels<2> {
    using type = __m128i;
};
template <>
struct Texels<3> {
    using type = __m256i;
};

// The 32-bit words at texels + index * S, one by one.
template <int S>
inline __m256i load_words(const uint8_t* texels, __m256i index) {
    alignas(32) int32_t offset[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(offset), index);
    int32_t word[8];
    for (int k = 0; k < 8; ++k) {
        std::memcpy(&word[k], texels + static_cast<ptrdiff_t>(offset[k]) * S, 4);
    }
    __m128i low = _mm_cvtsi32_si128(word[0]);
    low = _mm_insert_epi32(low, word[1], 1);
    low = _mm_insert_epi32(low, word[2], 2);
    low = _mm_insert_epi32(low, word[3], 3);
    __m128i high = _mm_cvtsi32_si128(word[4]);
    high = _mm_insert_epi32(high, word[5], 1);
    high = _mm_insert_epi32(high, word[6], 2);
    high = _mm_insert_epi32(high, word[7], 3);
    return _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
}

// Each lane's texel by its own load; `place` holds column | row << 16.
template <int S>
inline typename Texels<S>::type fetch_each(const KernelTexture& texture, __m256i place) {
    const __m256i row_length = splat((static_cast<uint32_t>(texture.width) << 16) | 1u);
    const __m256i index = _mm256_madd_epi16(place, row_length);  // row * width + column
    const __m256i words = load_words<S>(texture.texels, index);
    if constexpr (S == 3) {
        return _mm256_and_si256(words, splat(0xFFFFFF));
    } else {
        // Below 2^16 (2^8) after the mask, so the saturating packs keep them.
        const __m256i texel = _mm256_and_si256(words, splat(S == 1 ? 0xFFu : 0xFFFFu));
        const __m128i half = _mm_packus_epi32(low_half(texel), high_half(texel));
        if constexpr (S == 1) return _mm_packus_epi16(half, half);
        return half;
    }
}

// The texels of a group within a window of two texture rows starting at
// (column, row): `at` is the window's first byte, `second_row` the offset
// of the row below, `place` column | row << 16 per lane.
template <int S>
inline typename Texels<S>::type fetch_window(const uint8_t* at, ptrdiff_t second_row,
                                             uint32_t corner, __m256i place, bool two_rows) {
    const __m128i first = load16(at);
    const __m128i second = two_rows ? load16(at + second_row) : first;
    // Column within the window (low half) and row within it, 0 or 1 (high half).
    const __m256i within = _mm256_sub_epi16(place, splat(corner));
    const __m256i column = _mm256_and_si256(within, splat(0xFFFF));
    const __m256i lower = _mm256_srli_epi32(within, 16);
    if constexpr (S == 3) {
        // Bytes 3c, 3c + 1, 3c + 2 of the row, and a 0.
        const __m256i control =
            _mm256_add_epi32(_mm256_mullo_epi32(column, splat(0x030303)), splat(0x80020100u));
        const __m256i from_first =
            _mm256_shuffle_epi8(_mm256_broadcastsi128_si256(first), control);
        const __m256i from_second =
            _mm256_shuffle_epi8(_mm256_broadcastsi128_si256(second), control);
        return _mm256_blendv_epi8(from_first, from_second,
                                  _mm256_sub_epi32(_mm256_setzero_si256(), lower));
    } else {
        __m256i control32 = column;  // byte c
        if constexpr (S == 2) {
            // Bytes 2c and 2c + 1.
            control32 = _mm256_add_epi32(_mm256_mullo_epi16(column, splat(0x0202)), splat(0x0100));
        }
        __m128i control = _mm_packus_epi32(low_half(control32), high_half(control32));
        __m128i take_second = _mm_packs_epi32(low_half(lower), high_half(lower));
        if constexpr (S == 1) {
            control = _mm_packus_epi16(control, control);
            take_second = _mm_packs_epi16(take_second, take_second);
            take_second = _mm_sub_epi8(_mm_setzero_si128(), take_second);
        } else {
            take_second = _mm_sub_epi16(_mm_setzero_si128(), take_second);
        }
        return _mm_blendv_epi8(_mm_shuffle_epi8(first, control), _mm_shuffle_epi8(second, control),
                               take_second);
    }
}

// Writes eight pixels; with a depth test only those whose lane in `pass`
// is all ones.
template <int B, bool DEPTH>
inline void write_pixels(uint8_t* p, typename Texels<B == 4 ? 3 : B>::type texel, __m256i pass) {
    if constexpr (B == 4) {
        __m256i out = texel;
        if constexpr (DEPTH) {
            out = _mm256_blendv_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), texel,
                                     pass);
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), out);
    } else if constexpr (B == 3) {
        // Drop every fourth byte: lanes 0-3 give bytes 0-11, lanes 4-7 bytes 12-23.
        const __m128i squeeze = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
        const __m128i low = _mm_shuffle_epi8(low_half(texel), squeeze);
        const __m128i high = _mm_shuffle_epi8(high_half(texel), squeeze);
        __m128i first = _mm_or_si128(low, _mm_slli_si128(high, 12));
        __m128i second = _mm_srli_si128(high, 4);
        if constexpr (DEPTH) {
            const __m128i mask_low = _mm_shuffle_epi8(low_half(pass), squeeze);
            const __m128i mask_high = _mm_shuffle_epi8(high_half(pass), squeeze);
            first = _mm_blendv_epi8(load16(p), first, _mm_or_si128(mask_low, _mm_slli_si128(mask_high, 12)));
            second = _mm_blendv_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 16)), second,
                                     _mm_srli_si128(mask_high, 4));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), first);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p + 16), second);
    } else if constexpr (B == 2) {
        __m128i out = texel;
        if constexpr (DEPTH) {
            const __m128i mask = _mm_packs_epi32(low_half(pass), high_half(pass));
            out = _mm_blendv_epi8(load16(p), texel, mask);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), out);
    } else {
        __m128i out = texel;
        if constexpr (DEPTH) {
            const __m128i mask16 = _mm_packs_epi32(low_half(pass), high_half(pass));
            out = _mm_blendv_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), texel,
                                  _mm_packs_epi16(mask16, mask16));
        }
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), out);
    }
}

// Pixels past the last whole group, one by one.
template <int B, bool DEPTH>
inline void draw_rest(uint8_t* pixel, uint32_t* word, const KernelTexture& texture,
                      const KernelRun& run, int32_t first) {
    constexpr int S = B == 4 ? 3 : B;
    for (int32_t i = first; i < run.count; ++i) {
        const auto step = static_cast<uint32_t>(i);
        const uint32_t column = (run.u + step * run.du) >> 16;
        const uint32_t row = (run.v + step * run.dv) >> 16;
        const uint8_t* texel =
            texture.texels + (static_cast<ptrdiff_t>(row) * texture.width +
                              static_cast<ptrdiff_t>(column)) * S;
        if constexpr (DEPTH) {
            const uint32_t z = run.z + step * run.dz;
            if (z <= word[i]) continue;
            word[i] = z;
        }
        uint8_t* p = pixel + static_cast<ptrdiff_t>(i) * B;
        for (int k = 0; k < S; ++k) p[k] = texel[k];
        if constexpr (B == 4) p[3] = 0;
    }
}

template <int B, bool DEPTH>
inline void draw_run(uint8_t* pixel, uint32_t* word, const KernelTexture& texture,
                     const KernelRun& run) {
    constexpr int S = B == 4 ? 3 : B;
    // Texels one 16-byte load holds.
    constexpr uint32_t WINDOW = S == 1 ? 16 : S == 2 ? 8 : 5;
    const int32_t whole = run.count & ~7;
    const ptrdiff_t row_bytes = static_cast<ptrdiff_t>(texture.width) * S;
    const __m256i row_bits = splat(0xFFFF0000u);
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
    // The first and last pixel of each group, for the window test: columns
    // and rows are monotonic along the run, so these bound the group's.
    uint32_t u_first = run.u;
    uint32_t v_first = run.v;
    const uint32_t u_span = 7 * run.du;
    const uint32_t v_span = 7 * run.dv;
    for (int32_t i = 0; i < whole; i += 8) {
        const __m256i place =
            _mm256_or_si256(_mm256_srli_epi32(u, 16), _mm256_and_si256(v, row_bits));
        const uint32_t column_a = u_first >> 16;
        const uint32_t column_b = (u_first + u_span) >> 16;
        const uint32_t row_a = v_first >> 16;
        const uint32_t row_b = (v_first + v_span) >> 16;
        const uint32_t column = column_a < column_b ? column_a : column_b;
        const uint32_t columns = (column_a < column_b ? column_b : column_a) - column;
        const uint32_t row = row_a < row_b ? row_a : row_b;
        const uint32_t rows = (row_a < row_b ? row_b : row_a) - row;
        // The window's last row must hold 16 bytes from the first column on.
        const uint32_t window_end = ((row + rows) * static_cast<uint32_t>(texture.width) + column) * S + 16;
        __m256i pass = _mm256_setzero_si256();
        bool drawn = true;
        if constexpr (DEPTH) {
            __m256i* at = reinterpret_cast<__m256i*>(word + i);
            const __m256i old = _mm256_loadu_si256(at);
            pass = _mm256_cmpgt_epi32(_mm256_xor_si256(z, sign), _mm256_xor_si256(old, sign));
            z = _mm256_add_epi32(z, dz8);
            // A group hidden behind what was drawn before changes nothing.
            drawn = !_mm256_testz_si256(pass, pass);
            if (drawn) _mm256_storeu_si256(at, _mm256_blendv_epi8(old, _mm256_sub_epi32(z, dz8), pass));
        }
        if (drawn) {
            typename Texels<S>::type texel;
            if (columns < WINDOW && rows <= 1 && window_end <= static_cast<uint32_t>(texture.bytes)) {
                const uint8_t* at = texture.texels + (static_cast<ptrdiff_t>(row) * texture.width +
                                                      static_cast<ptrdiff_t>(column)) * S;
                texel = fetch_window<S>(at, row_bytes, row << 16 | column, place, rows != 0);
            } else {
                texel = fetch_each<S>(texture, place);
            }
            write_pixels<B, DEPTH>(pixel + static_cast<ptrdiff_t>(i) * B, texel, pass);
        }
        u = _mm256_add_epi32(u, du8);
        v = _mm256_add_epi32(v, dv8);
        u_first += run.du << 3;
        v_first += run.dv << 3;
    }
    if (whole < run.count) draw_rest<B, DEPTH>(pixel, word, texture, run, whole);
}

template <int B, bool DEPTH>
void draw(uint8_t* pixel, uint32_t* word, const KernelTexture& texture, const KernelRun* run,
          int32_t runs) {
    for (int32_t k = 0; k < runs; ++k) {
        draw_run<B, DEPTH>(pixel, word, texture, run[k]);
        pixel += static_cast<ptrdiff_t>(run[k].count) * B;
        if constexpr (DEPTH) word += run[k].count;
    }
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
