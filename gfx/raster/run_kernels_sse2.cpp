// The exact pixel loop with SSE2, the vector level every x86 processor the
// library runs on has: texel offsets, depth values and the depth test are
// computed for eight pixels at once, the texels are fetched one by one (SSE2
// has no gather), and the pixels and words that fail the test are blended
// back unchanged; groups that fail it whole are skipped. The last few
// pixels of a run are drawn one by one.
#include "gfx/raster/fast_paths.h"

#if defined(__SSE2__)
#include <emmintrin.h>

#include <cstring>

namespace gx_raster {
namespace {

inline __m128i splat(uint32_t value) { return _mm_set1_epi32(static_cast<int32_t>(value)); }

// value + i * step in lanes i = 0..3 (the caller adds 4 * step for the
// second vector of a group).
inline __m128i lanes(uint32_t value, uint32_t step) {
    return _mm_setr_epi32(static_cast<int32_t>(value), static_cast<int32_t>(value + step),
                          static_cast<int32_t>(value + 2 * step),
                          static_cast<int32_t>(value + 3 * step));
}

inline __m128i choose(__m128i old, __m128i fresh, __m128i keep_new) {
    return _mm_or_si128(_mm_and_si128(keep_new, fresh), _mm_andnot_si128(keep_new, old));
}

// The texel at a texel index, in the low S bytes. Three-byte texels are
// read as four bytes (the caller has checked that the fourth is readable).
template <int S>
inline uint32_t texel_at(const uint8_t* texels, int32_t index) {
    const uint8_t* at = texels + static_cast<ptrdiff_t>(index) * S;
    if constexpr (S == 1) {
        return at[0];
    } else if constexpr (S == 2) {
        uint16_t texel;
        std::memcpy(&texel, at, 2);
        return texel;
    } else {
        uint32_t texel;
        std::memcpy(&texel, at, 4);
        return texel & 0xFFFFFF;
    }
}

template <int B, bool DEPTH>
inline void draw_run(uint8_t* pixel, uint32_t* word, const KernelTexture& texture,
                     const KernelRun& run) {
    constexpr int S = B == 4 ? 3 : B;
    const int32_t n = run.count & ~7;
    const __m128i row_bits = splat(0xFFFF0000u);
    const __m128i row_length = splat((static_cast<uint32_t>(texture.width) << 16) | 1u);
    __m128i u_low = lanes(run.u, run.du);
    __m128i v_low = lanes(run.v, run.dv);
    __m128i u_high = _mm_add_epi32(u_low, splat(run.du << 2));
    __m128i v_high = _mm_add_epi32(v_low, splat(run.dv << 2));
    const __m128i du8 = splat(run.du << 3);
    const __m128i dv8 = splat(run.dv << 3);
    const __m128i sign = splat(0x80000000u);
    __m128i z_low = _mm_setzero_si128();
    __m128i z_high = z_low;
    __m128i dz8 = z_low;
    if constexpr (DEPTH) {
        z_low = lanes(run.z, run.dz);
        z_high = _mm_add_epi32(z_low, splat(run.dz << 2));
        dz8 = splat(run.dz << 3);
    }
    alignas(16) int32_t index[8];
    alignas(16) uint32_t texel[8];
    for (int32_t i = 0; i < n; i += 8) {
        // Column in the low half of each lane, row in the high half: one
        // multiply-add of 16-bit pairs gives row * width + column.
        const __m128i place_low = _mm_or_si128(_mm_srli_epi32(u_low, 16),
                                               _mm_and_si128(v_low, row_bits));
        const __m128i place_high = _mm_or_si128(_mm_srli_epi32(u_high, 16),
                                                _mm_and_si128(v_high, row_bits));
        u_low = _mm_add_epi32(u_low, du8);
        u_high = _mm_add_epi32(u_high, du8);
        v_low = _mm_add_epi32(v_low, dv8);
        v_high = _mm_add_epi32(v_high, dv8);

        __m128i pass_low = _mm_setzero_si128();
        __m128i pass_high = pass_low;
        if constexpr (DEPTH) {
            __m128i* at = reinterpret_cast<__m128i*>(word + i);
            const __m128i old_low = _mm_loadu_si128(at);
            const __m128i old_high = _mm_loadu_si128(at + 1);
            pass_low = _mm_cmpgt_epi32(_mm_xor_si128(z_low, sign), _mm_xor_si128(old_low, sign));
            pass_high = _mm_cmpgt_epi32(_mm_xor_si128(z_high, sign), _mm_xor_si128(old_high, sign));
            const __m128i z_first = z_low;
            const __m128i z_second = z_high;
            z_low = _mm_add_epi32(z_low, dz8);
            z_high = _mm_add_epi32(z_high, dz8);
            // A group hidden behind what was drawn before changes nothing.
            if (_mm_movemask_epi8(_mm_or_si128(pass_low, pass_high)) == 0) continue;
            _mm_storeu_si128(at, choose(old_low, z_first, pass_low));
            _mm_storeu_si128(at + 1, choose(old_high, z_second, pass_high));
        }

        _mm_store_si128(reinterpret_cast<__m128i*>(index), _mm_madd_epi16(place_low, row_length));
        _mm_store_si128(reinterpret_cast<__m128i*>(index + 4),
                        _mm_madd_epi16(place_high, row_length));
        for (int k = 0; k < 8; ++k) texel[k] = texel_at<S>(texture.texels, index[k]);

        uint8_t* p = pixel + static_cast<ptrdiff_t>(i) * B;
        if constexpr (B == 4) {
            __m128i* at = reinterpret_cast<__m128i*>(p);
            __m128i out_low = _mm_load_si128(reinterpret_cast<const __m128i*>(texel));
            __m128i out_high = _mm_load_si128(reinterpret_cast<const __m128i*>(texel + 4));
            if constexpr (DEPTH) {
                out_low = choose(_mm_loadu_si128(at), out_low, pass_low);
                out_high = choose(_mm_loadu_si128(at + 1), out_high, pass_high);
            }
            _mm_storeu_si128(at, out_low);
            _mm_storeu_si128(at + 1, out_high);
        } else if constexpr (B == 2) {
            __m128i out = _mm_setr_epi16(
                static_cast<int16_t>(texel[0]), static_cast<int16_t>(texel[1]),
                static_cast<int16_t>(texel[2]), static_cast<int16_t>(texel[3]),
                static_cast<int16_t>(texel[4]), static_cast<int16_t>(texel[5]),
                static_cast<int16_t>(texel[6]), static_cast<int16_t>(texel[7]));
            __m128i* at = reinterpret_cast<__m128i*>(p);
            if constexpr (DEPTH) {
                out = choose(_mm_loadu_si128(at), out, _mm_packs_epi32(pass_low, pass_high));
            }
            _mm_storeu_si128(at, out);
        } else if constexpr (B == 1) {
            const uint32_t low = texel[0] | texel[1] << 8 | texel[2] << 16 | texel[3] << 24;
            const uint32_t high = texel[4] | texel[5] << 8 | texel[6] << 16 | texel[7] << 24;
            __m128i out = _mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int32_t>(low)),
                                             _mm_cvtsi32_si128(static_cast<int32_t>(high)));
            __m128i* at = reinterpret_cast<__m128i*>(p);
            if constexpr (DEPTH) {
                const __m128i mask16 = _mm_packs_epi32(pass_low, pass_high);
                out = choose(_mm_loadl_epi64(at), out, _mm_packs_epi16(mask16, mask16));
            }
            _mm_storel_epi64(at, out);
        } else {
            // Three-byte pixels, one by one; bit 4k of `passed` is lane k's test.
            uint32_t passed = 0xFFFFFFFFu;
            if constexpr (DEPTH) {
                passed = static_cast<uint32_t>(_mm_movemask_epi8(pass_low)) |
                         static_cast<uint32_t>(_mm_movemask_epi8(pass_high)) << 16;
            }
            for (int k = 0; k < 8; ++k) {
                if (((passed >> (4 * k)) & 1u) != 0) {
                    p[3 * k] = static_cast<uint8_t>(texel[k]);
                    p[3 * k + 1] = static_cast<uint8_t>(texel[k] >> 8);
                    p[3 * k + 2] = static_cast<uint8_t>(texel[k] >> 16);
                }
            }
        }
    }
    if (n < run.count) exact_tail<B, DEPTH>(texture, run, n);  // past the last whole group
}

template <int B, bool DEPTH>
struct DrawRun {
    static constexpr int32_t SHORTEST = 0;  // draw_run takes every run
    static void draw(const KernelTexture& texture, const KernelRun& run) {
        draw_run<B, DEPTH>(run.pixel, run.word, texture, run);
    }
};

// The depth pre-test's groups of eight: sign bits flipped once (adding the
// step keeps them flipped), so a signed comparison orders them unsigned.
struct Eights {
    static constexpr int32_t SIZE = 8;
    __m128i sign, z_low, z_high, dz8;
    explicit Eights(const KernelRun& run)
        : sign(splat(0x80000000u)),
          z_low(_mm_xor_si128(lanes(run.z, run.dz), sign)),
          z_high(_mm_add_epi32(z_low, splat(run.dz << 2))),
          dz8(splat(run.dz << 3)) {}
    bool any_pass(const uint32_t* word) {
        const auto* at = reinterpret_cast<const __m128i*>(word);
        const __m128i pass_low = _mm_cmpgt_epi32(z_low, _mm_xor_si128(_mm_loadu_si128(at), sign));
        const __m128i pass_high = _mm_cmpgt_epi32(z_high,
                                                  _mm_xor_si128(_mm_loadu_si128(at + 1), sign));
        z_low = _mm_add_epi32(z_low, dz8);
        z_high = _mm_add_epi32(z_high, dz8);
        return _mm_movemask_epi8(_mm_or_si128(pass_low, pass_high)) != 0;
    }
};

constexpr RunKernels KERNELS = run_kernels_of<DrawRun>();

}  // namespace

void sse2_run_kernels(FastPaths& paths) {
    paths.kernels = &KERNELS;
    paths.hidden = count_hidden<Eights>;
}

}  // namespace gx_raster

#else

namespace gx_raster {
void sse2_run_kernels(FastPaths&) {}
}  // namespace gx_raster

#endif
