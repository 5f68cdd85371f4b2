// The exact pixel loop with AVX2: 16-bit pixels sixteen per step, the
// others eight per step, the last group of a run overlapping the one
// before; runs shorter than eight pixels through the exact loop
// (exact_tail).
//
// Texels: sixteen 16-bit pixels whose texels lie on at most two texture
// rows and within eight neighbouring columns (as on a magnified texture)
// take them from one 16-byte load per row, spread to the pixels with a byte
// shuffle. Other groups load their texels one by one: on the processors
// measured, AVX2's gather instruction took several times as long as loads
// and inserts.
//
// Depth: the test is a signed comparison of words whose sign bits are
// flipped (the same order as the unsigned comparison). Groups the test
// hides whole are skipped; groups it passes whole are stored as they are;
// in the others the pixels and words that fail are blended back unchanged.
#include "gfx/raster/fast_paths.h"

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

// Texel offsets go through memory to scalar loads: on the processors
// measured that beat extracting them from the vector register, which the
// compiler would otherwise do. The empty statement makes it keep the array.
template <int N>
inline void spill(int32_t (&offset)[N]) {
    __asm__("" : "+m"(offset));
}

// Eight texels, the k-th at texel index index[order[k]], in the form the
// pixel writes take.
template <int S>
inline typename Texels<S>::type load_texels(const uint8_t* texels, const int32_t* index,
                                            const int (&order)[8]) {
    const auto at = [&](int k) { return texels + static_cast<ptrdiff_t>(index[order[k]]) * S; };
    if constexpr (S == 1) {
        __m128i texel = _mm_cvtsi32_si128(*at(0));
        texel = _mm_insert_epi8(texel, *at(1), 1);
        texel = _mm_insert_epi8(texel, *at(2), 2);
        texel = _mm_insert_epi8(texel, *at(3), 3);
        texel = _mm_insert_epi8(texel, *at(4), 4);
        texel = _mm_insert_epi8(texel, *at(5), 5);
        texel = _mm_insert_epi8(texel, *at(6), 6);
        return _mm_insert_epi8(texel, *at(7), 7);
    } else if constexpr (S == 2) {
        uint16_t value[8];
        for (int k = 0; k < 8; ++k) std::memcpy(&value[k], at(k), 2);
        __m128i texel = _mm_cvtsi32_si128(value[0]);
        texel = _mm_insert_epi16(texel, value[1], 1);
        texel = _mm_insert_epi16(texel, value[2], 2);
        texel = _mm_insert_epi16(texel, value[3], 3);
        texel = _mm_insert_epi16(texel, value[4], 4);
        texel = _mm_insert_epi16(texel, value[5], 5);
        texel = _mm_insert_epi16(texel, value[6], 6);
        return _mm_insert_epi16(texel, value[7], 7);
    } else {
        // Three-byte texels read as 32-bit words, the fourth byte dropped.
        int32_t word[8];
        for (int k = 0; k < 8; ++k) std::memcpy(&word[k], at(k), 4);
        __m128i low = _mm_cvtsi32_si128(word[0]);
        low = _mm_insert_epi32(low, word[1], 1);
        low = _mm_insert_epi32(low, word[2], 2);
        low = _mm_insert_epi32(low, word[3], 3);
        __m128i high = _mm_cvtsi32_si128(word[4]);
        high = _mm_insert_epi32(high, word[5], 1);
        high = _mm_insert_epi32(high, word[6], 2);
        high = _mm_insert_epi32(high, word[7], 3);
        return _mm256_and_si256(_mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1),
                                splat(0xFFFFFF));
    }
}

inline constexpr int IN_ORDER[8] = {0, 1, 2, 3, 4, 5, 6, 7};

// Each lane's texel by its own load; `place` holds column | row << 16.
template <int S>
inline typename Texels<S>::type fetch_each(const KernelTexture& texture, __m256i place) {
    const __m256i row_length = splat((static_cast<uint32_t>(texture.width) << 16) | 1u);
    alignas(32) int32_t index[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(index), _mm256_madd_epi16(place, row_length));
    spill(index);
    return load_texels<S>(texture.texels, index, IN_ORDER);
}

// Writes eight pixels; with a depth test only those whose lane in `pass`
// is all ones, unless `all` says every lane is.
template <int B, bool DEPTH>
inline void write_pixels(uint8_t* p, typename Texels<B == 4 ? 3 : B>::type texel, __m256i pass,
                         bool all) {
    if constexpr (B == 4) {
        __m256i out = texel;
        if (DEPTH && !all) {
            out = _mm256_blendv_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), texel,
                                     pass);
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), out);
    } else if constexpr (B == 3) {
        // Drop every fourth byte: lanes 0-3 give bytes 0-11, lanes 4-7 bytes 12-23.
        const __m128i squeeze = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1,
                                              -1);
        const __m128i low = _mm_shuffle_epi8(low_half(texel), squeeze);
        const __m128i high = _mm_shuffle_epi8(high_half(texel), squeeze);
        __m128i first = _mm_or_si128(low, _mm_slli_si128(high, 12));
        __m128i second = _mm_srli_si128(high, 4);
        if (DEPTH && !all) {
            const __m128i mask_low = _mm_shuffle_epi8(low_half(pass), squeeze);
            const __m128i mask_high = _mm_shuffle_epi8(high_half(pass), squeeze);
            first = _mm_blendv_epi8(load16(p), first,
                                    _mm_or_si128(mask_low, _mm_slli_si128(mask_high, 12)));
            second = _mm_blendv_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 16)),
                                     second, _mm_srli_si128(mask_high, 4));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), first);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p + 16), second);
    } else if constexpr (B == 2) {
        __m128i out = texel;
        if (DEPTH && !all) {
            const __m128i mask = _mm_packs_epi32(low_half(pass), high_half(pass));
            out = _mm_blendv_epi8(load16(p), texel, mask);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), out);
    } else {
        __m128i out = texel;
        if (DEPTH && !all) {
            const __m128i mask16 = _mm_packs_epi32(low_half(pass), high_half(pass));
            out = _mm_blendv_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), texel,
                                  _mm_packs_epi16(mask16, mask16));
        }
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), out);
    }
}

// Where a group's texels lie: the smallest column and row, and how many
// columns and rows further the largest are. Columns and rows are monotonic
// along a run, so the group's first and last pixel bound them.
struct Spread {
    uint32_t column, columns, row, rows;
};

inline Spread spread(uint32_t u_first, uint32_t u_last, uint32_t v_first, uint32_t v_last) {
    const uint32_t column_a = u_first >> 16;
    const uint32_t column_b = u_last >> 16;
    const uint32_t row_a = v_first >> 16;
    const uint32_t row_b = v_last >> 16;
    const uint32_t column = column_a < column_b ? column_a : column_b;
    const uint32_t row = row_a < row_b ? row_a : row_b;
    return {column, (column_a < column_b ? column_b : column_a) - column, row,
            (row_a < row_b ? row_b : row_a) - row};
}

// Whether the group's texels lie on at most two rows within `window`
// columns, and 16 bytes can be read from its first column on each row.
template <int S>
inline bool in_window(const KernelTexture& texture, const Spread& s, uint32_t window) {
    return s.columns < window && s.rows <= 1 &&
           ((s.row + s.rows) * static_cast<uint32_t>(texture.width) + s.column) * S + 16 <=
               static_cast<uint32_t>(texture.bytes);
}

inline const uint8_t* texel_address(const KernelTexture& texture, int S, uint32_t column,
                                    uint32_t row) {
    return texture.texels +
           (static_cast<ptrdiff_t>(row) * texture.width + static_cast<ptrdiff_t>(column)) * S;
}

// 16-bit pixels sixteen at a time, as one 256-bit vector. The coordinates
// are kept in the lane order the 32-to-16-bit pack interleaves: vector A
// holds pixels 0-3 and 8-11, vector B pixels 4-7 and 12-15. Draws runs of
// sixteen pixels or more whole; returns the pixels drawn (0 for shorter
// runs).
template <bool DEPTH>
inline int32_t draw_sixteens(uint8_t* pixel, uint32_t* word, const KernelTexture& texture,
                             const KernelRun& run) {
    if (run.count < 16) return 0;
    const __m256i order_a = _mm256_setr_epi32(0, 1, 2, 3, 8, 9, 10, 11);
    const __m256i order_b = _mm256_setr_epi32(4, 5, 6, 7, 12, 13, 14, 15);
    const __m256i du = splat(run.du);
    const __m256i dv = splat(run.dv);
    __m256i u_a = _mm256_add_epi32(splat(run.u), _mm256_mullo_epi32(order_a, du));
    __m256i u_b = _mm256_add_epi32(splat(run.u), _mm256_mullo_epi32(order_b, du));
    __m256i v_a = _mm256_add_epi32(splat(run.v), _mm256_mullo_epi32(order_a, dv));
    __m256i v_b = _mm256_add_epi32(splat(run.v), _mm256_mullo_epi32(order_b, dv));
    const __m256i du16 = splat(run.du << 4);
    const __m256i dv16 = splat(run.dv << 4);
    __m256i z_low = _mm256_setzero_si256();
    __m256i z_high = z_low;
    __m256i dz16 = z_low;
    if constexpr (DEPTH) {
        z_low = lanes(run.z, run.dz);
        z_high = _mm256_add_epi32(z_low, splat(run.dz << 3));
        dz16 = splat(run.dz << 4);
    }
    const __m256i sign = splat(0x80000000u);
    const __m256i ones = _mm256_set1_epi32(-1);
    const __m256i row_bits = splat(0xFFFF0000u);
    const __m256i row_length = splat((static_cast<uint32_t>(texture.width) << 16) | 1u);
    const ptrdiff_t row_bytes = static_cast<ptrdiff_t>(texture.width) * 2;
    uint32_t u_first = run.u;
    uint32_t v_first = run.v;
    const uint32_t u_span = 15 * run.du;
    const uint32_t v_span = 15 * run.dv;
    // A run whose length is not a multiple of sixteen ends with a group that
    // overlaps the one before (see draw_run).
    for (int32_t i = 0;;) {
        __m256i pass_low = ones;
        __m256i pass_high = ones;
        bool drawn = true;
        bool all = true;
        if constexpr (DEPTH) {
            __m256i* at = reinterpret_cast<__m256i*>(word + i);
            const __m256i old_low = _mm256_loadu_si256(at);
            const __m256i old_high = _mm256_loadu_si256(at + 1);
            pass_low = _mm256_cmpgt_epi32(_mm256_xor_si256(z_low, sign),
                                          _mm256_xor_si256(old_low, sign));
            pass_high = _mm256_cmpgt_epi32(_mm256_xor_si256(z_high, sign),
                                           _mm256_xor_si256(old_high, sign));
            const __m256i either = _mm256_or_si256(pass_low, pass_high);
            drawn = !_mm256_testz_si256(either, either);
            all = _mm256_testc_si256(_mm256_and_si256(pass_low, pass_high), ones) != 0;
            if (all) {
                _mm256_storeu_si256(at, z_low);
                _mm256_storeu_si256(at + 1, z_high);
            } else if (drawn) {
                _mm256_storeu_si256(at, _mm256_blendv_epi8(old_low, z_low, pass_low));
                _mm256_storeu_si256(at + 1, _mm256_blendv_epi8(old_high, z_high, pass_high));
            }
            z_low = _mm256_add_epi32(z_low, dz16);
            z_high = _mm256_add_epi32(z_high, dz16);
        }
        if (drawn) {
            const Spread s = spread(u_first, u_first + u_span, v_first, v_first + v_span);
            __m256i texel;
            if (in_window<2>(texture, s, 8)) {
                const __m256i column16 = _mm256_packus_epi32(_mm256_srli_epi32(u_a, 16),
                                                             _mm256_srli_epi32(u_b, 16));
                const __m256i row16 = _mm256_packus_epi32(_mm256_srli_epi32(v_a, 16),
                                                          _mm256_srli_epi32(v_b, 16));
                const uint8_t* at = texel_address(texture, 2, s.column, s.row);
                const __m256i first = _mm256_broadcastsi128_si256(load16(at));
                const __m256i second = s.rows != 0
                                           ? _mm256_broadcastsi128_si256(load16(at + row_bytes))
                                           : first;
                // Bytes 2c and 2c + 1 of the window's row.
                const __m256i within = _mm256_sub_epi16(
                    column16, _mm256_set1_epi16(static_cast<int16_t>(s.column)));
                const __m256i control = _mm256_add_epi16(
                    _mm256_mullo_epi16(within, _mm256_set1_epi16(0x0202)),
                    _mm256_set1_epi16(0x0100));
                const __m256i lower = _mm256_cmpeq_epi16(
                    _mm256_sub_epi16(row16, _mm256_set1_epi16(static_cast<int16_t>(s.row))),
                    _mm256_set1_epi16(1));
                texel = _mm256_blendv_epi8(_mm256_shuffle_epi8(first, control),
                                           _mm256_shuffle_epi8(second, control), lower);
            } else {
                const __m256i place_a = _mm256_or_si256(_mm256_srli_epi32(u_a, 16),
                                                        _mm256_and_si256(v_a, row_bits));
                const __m256i place_b = _mm256_or_si256(_mm256_srli_epi32(u_b, 16),
                                                        _mm256_and_si256(v_b, row_bits));
                // Lanes of A are pixels 0-3 and 8-11, of B 4-7 and 12-15.
                alignas(32) int32_t index[16];
                _mm256_store_si256(reinterpret_cast<__m256i*>(index),
                                   _mm256_madd_epi16(place_a, row_length));
                _mm256_store_si256(reinterpret_cast<__m256i*>(index + 8),
                                   _mm256_madd_epi16(place_b, row_length));
                spill(index);
                static constexpr int FIRST[8] = {0, 1, 2, 3, 8, 9, 10, 11};
                static constexpr int SECOND[8] = {4, 5, 6, 7, 12, 13, 14, 15};
                texel = _mm256_inserti128_si256(
                    _mm256_castsi128_si256(load_texels<2>(texture.texels, index, FIRST)),
                    load_texels<2>(texture.texels, index, SECOND), 1);
            }
            __m256i* p = reinterpret_cast<__m256i*>(pixel + static_cast<ptrdiff_t>(i) * 2);
            if (DEPTH && !all) {
                // The pack interleaves halves of its two inputs; the
                // permutation puts the masks of pixels 0-15 in order.
                const __m256i mask = _mm256_permute4x64_epi64(
                    _mm256_packs_epi32(pass_low, pass_high), 0xD8);
                texel = _mm256_blendv_epi8(_mm256_loadu_si256(p), texel, mask);
            }
            _mm256_storeu_si256(p, texel);
        }
        u_a = _mm256_add_epi32(u_a, du16);
        u_b = _mm256_add_epi32(u_b, du16);
        v_a = _mm256_add_epi32(v_a, dv16);
        v_b = _mm256_add_epi32(v_b, dv16);
        u_first += run.du << 4;
        v_first += run.dv << 4;
        i += 16;
        if (i >= run.count) break;
        if (i + 16 > run.count) {
            const auto back = static_cast<uint32_t>(i + 16 - run.count);
            const __m256i u_back = splat(back * run.du);
            const __m256i v_back = splat(back * run.dv);
            u_a = _mm256_sub_epi32(u_a, u_back);
            u_b = _mm256_sub_epi32(u_b, u_back);
            v_a = _mm256_sub_epi32(v_a, v_back);
            v_b = _mm256_sub_epi32(v_b, v_back);
            if constexpr (DEPTH) {
                const __m256i z_back = splat(back * run.dz);
                z_low = _mm256_sub_epi32(z_low, z_back);
                z_high = _mm256_sub_epi32(z_high, z_back);
            }
            u_first -= back * run.du;
            v_first -= back * run.dv;
            i = run.count - 16;
        }
    }
    return run.count;
}

// A run group by group: 16-bit pixels sixteen at a time where the run is
// long enough, else eight at a time. A run whose length is not a multiple
// of the group ends with a group that overlaps the one before: drawing a
// pixel a second time changes nothing (its depth now equals its word, so
// the test fails; without depth the same texel is written again). Runs
// shorter than eight pixels never come here: draw_each gives them to the exact loop.
template <int B, bool DEPTH>
inline void draw_run(uint8_t* pixel, uint32_t* word, const KernelTexture& texture,
                     const KernelRun& run) {
    constexpr int S = B == 4 ? 3 : B;
    if constexpr (B == 2) {
        if (draw_sixteens<DEPTH>(pixel, word, texture, run) != 0) return;
    }
    const __m256i row_bits = splat(0xFFFF0000u);
    const __m256i sign = splat(0x80000000u);
    __m256i u = lanes(run.u, run.du);
    __m256i v = lanes(run.v, run.dv);
    __m256i z = DEPTH ? lanes(run.z, run.dz) : _mm256_setzero_si256();
    const __m256i du8 = splat(run.du << 3);
    const __m256i dv8 = splat(run.dv << 3);
    const __m256i dz8 = splat(run.dz << 3);
    for (int32_t i = 0;;) {
        const __m256i place = _mm256_or_si256(_mm256_srli_epi32(u, 16),
                                              _mm256_and_si256(v, row_bits));
        __m256i pass = _mm256_setzero_si256();
        bool drawn = true;
        bool all = true;
        if constexpr (DEPTH) {
            __m256i* at = reinterpret_cast<__m256i*>(word + i);
            const __m256i old = _mm256_loadu_si256(at);
            pass = _mm256_cmpgt_epi32(_mm256_xor_si256(z, sign), _mm256_xor_si256(old, sign));
            // A group hidden behind what was drawn before changes nothing;
            // one wholly in front needs no blending.
            drawn = !_mm256_testz_si256(pass, pass);
            all = _mm256_testc_si256(pass, _mm256_set1_epi32(-1)) != 0;
            if (all) {
                _mm256_storeu_si256(at, z);
            } else if (drawn) {
                _mm256_storeu_si256(at, _mm256_blendv_epi8(old, z, pass));
            }
        }
        if (drawn) {
            write_pixels<B, DEPTH>(pixel + static_cast<ptrdiff_t>(i) * B,
                                   fetch_each<S>(texture, place), pass, all);
        }
        u = _mm256_add_epi32(u, du8);
        v = _mm256_add_epi32(v, dv8);
        if constexpr (DEPTH) z = _mm256_add_epi32(z, dz8);
        i += 8;
        if (i >= run.count) break;
        if (i + 8 > run.count) {
            const auto back = static_cast<uint32_t>(i + 8 - run.count);
            u = _mm256_sub_epi32(u, splat(back * run.du));
            v = _mm256_sub_epi32(v, splat(back * run.dv));
            if constexpr (DEPTH) z = _mm256_sub_epi32(z, splat(back * run.dz));
            i = run.count - 8;
        }
    }
}

template <int B, bool DEPTH>
struct DrawRun {
    static constexpr int32_t SHORTEST = 8;  // a group
    static void draw(const KernelTexture& texture, const KernelRun& run) {
        draw_run<B, DEPTH>(run.pixel, run.word, texture, run);
    }
};

// The depth pre-test's groups of eight: sign bits flipped once (adding the
// step keeps them flipped), so a signed comparison orders them unsigned.
struct Eights {
    static constexpr int32_t SIZE = 8;
    __m256i sign, z, dz8;
    explicit Eights(const KernelRun& run)
        : sign(splat(0x80000000u)),
          z(_mm256_xor_si256(lanes(run.z, run.dz), sign)),
          dz8(splat(run.dz << 3)) {}
    bool any_pass(const uint32_t* word) {
        const __m256i old = _mm256_xor_si256(
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(word)), sign);
        const __m256i pass = _mm256_cmpgt_epi32(z, old);
        z = _mm256_add_epi32(z, dz8);
        return !_mm256_testz_si256(pass, pass);
    }
};

constexpr RunKernels KERNELS = run_kernels_of<DrawRun>();

}  // namespace

void avx2_run_kernels(FastPaths& paths) {
    paths.kernels = &KERNELS;
    paths.hidden = count_hidden<Eights>;
}

}  // namespace gx_raster

#else

namespace gx_raster {
void avx2_run_kernels(FastPaths&) {}
}  // namespace gx_raster

#endif
