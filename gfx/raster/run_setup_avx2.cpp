// The second pass of the batched run set-up (run_setup.h) with AVX2: four
// boundaries per step. It calls none of the header's inline functions (see
// fixed_signed_baseline). Every lane does exactly the operation setup_runs does
// on that value (a division, a subtraction, two multiplications, a
// truncating conversion), so the runs are the same to the bit; lanes whose
// values leave the fixed-point range go through the plain checked
// conversions.
#include "gfx/raster/fast_paths.h"

#if defined(__AVX2__)
#include <immintrin.h>

#include <bit>
#include <cstddef>
#include <cstring>

namespace gx_raster {
namespace {

// Four runs' values, lane k for run k (z with the stamp, if any).
struct FourRuns {
    __m128i u, v, du, dv, z, dz, count;
};

// The runs one by one.
void store_runs(KernelRun* runs, const FourRuns& four, uint8_t* const* pixel, uint32_t* const* word,
                int32_t count) {
    alignas(16) uint32_t lanes[7][4];
    const __m128i* values[7] = {&four.u, &four.v,  &four.du,   &four.dv,
                                &four.z, &four.dz, &four.count};
    for (int f = 0; f < 7; ++f) _mm_store_si128(reinterpret_cast<__m128i*>(lanes[f]), *values[f]);
    for (int32_t k = 0; k < count; ++k) {
        runs[k] = {lanes[0][k],
                   lanes[1][k],
                   lanes[2][k],
                   lanes[3][k],
                   lanes[4][k],
                   lanes[5][k],
                   static_cast<int32_t>(lanes[6][k]),
                   pixel[k],
                   word[k]};
    }
}

// Where a run is 48 bytes, its seven 32-bit values and a pad in the first
// 32 and the two pointers in the next 16, four runs are a transposition of
// the lanes: a few shuffles and eight stores instead of 36 scalar stores.
constexpr bool RUNS_STORED_AS_VECTORS = sizeof(void*) == 8 && sizeof(KernelRun) == 48 &&
                                        offsetof(KernelRun, pixel) == 32 &&
                                        offsetof(KernelRun, word) == 40;

void store_four_runs(KernelRun* runs, const FourRuns& four, uint8_t* const* pixel,
                     uint32_t* const* word) {
    const __m256i u_z = _mm256_set_m128i(four.z, four.u);
    const __m256i v_dz = _mm256_set_m128i(four.dz, four.v);
    const __m256i du_count = _mm256_set_m128i(four.count, four.du);
    const __m256i dv_pad = _mm256_set_m128i(_mm_setzero_si128(), four.dv);
    // Runs 0, 1 | 2, 3 interleaved: u0 v0 u1 v1 | z0 dz0 z1 dz1, and so on.
    const __m256i uv01 = _mm256_unpacklo_epi32(u_z, v_dz);
    const __m256i uv23 = _mm256_unpackhi_epi32(u_z, v_dz);
    const __m256i duv01 = _mm256_unpacklo_epi32(du_count, dv_pad);
    const __m256i duv23 = _mm256_unpackhi_epi32(du_count, dv_pad);
    // Run k's first 32 bytes: u v du dv | z dz count pad.
    const __m256i values[4] = {
        _mm256_unpacklo_epi64(uv01, duv01), _mm256_unpackhi_epi64(uv01, duv01),
        _mm256_unpacklo_epi64(uv23, duv23), _mm256_unpackhi_epi64(uv23, duv23)};
    const __m256i pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pixel));
    const __m256i words = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(word));
    const __m256i pointers02 = _mm256_unpacklo_epi64(pixels, words);  // p0 w0 | p2 w2
    const __m256i pointers13 = _mm256_unpackhi_epi64(pixels, words);  // p1 w1 | p3 w3
    const __m128i pointers[4] = {
        _mm256_castsi256_si128(pointers02), _mm256_castsi256_si128(pointers13),
        _mm256_extracti128_si256(pointers02, 1), _mm256_extracti128_si256(pointers13, 1)};
    auto* out = reinterpret_cast<uint8_t*>(runs);
    for (int k = 0; k < 4; ++k) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 48 * k), values[k]);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 48 * k + 32), pointers[k]);
    }
}

// Four values to fixed point as fixed_signed converts them.
inline __m128i to_fixed_signed(__m256d value, double scale) {
    const __m256d scaled = _mm256_mul_pd(value, _mm256_set1_pd(scale));
    const __m256d in_range = _mm256_and_pd(
        _mm256_cmp_pd(scaled, _mm256_set1_pd(-2147483649.0), _CMP_GT_OQ),
        _mm256_cmp_pd(scaled, _mm256_set1_pd(2147483648.0), _CMP_LT_OQ));
    if (_mm256_movemask_pd(in_range) == 15) return _mm256_cvttpd_epi32(scaled);
    alignas(32) double lanes[4];
    _mm256_store_pd(lanes, value);
    return _mm_setr_epi32(
        fixed_signed_baseline(lanes[0], scale), fixed_signed_baseline(lanes[1], scale),
        fixed_signed_baseline(lanes[2], scale), fixed_signed_baseline(lanes[3], scale));
}

// Four values to fixed point as fixed_unsigned converts them (the vector
// conversion covers values below 2^31).
inline __m128i to_fixed_unsigned(__m256d value, double scale) {
    const __m256d scaled = _mm256_mul_pd(value, _mm256_set1_pd(scale));
    const __m256d in_range = _mm256_and_pd(
        _mm256_cmp_pd(scaled, _mm256_set1_pd(-1.0), _CMP_GT_OQ),
        _mm256_cmp_pd(scaled, _mm256_set1_pd(2147483648.0), _CMP_LT_OQ));
    if (_mm256_movemask_pd(in_range) == 15) return _mm256_cvttpd_epi32(scaled);
    alignas(32) double lanes[4];
    _mm256_store_pd(lanes, value);
    const auto lane = [&](int k) {
        return static_cast<int32_t>(fixed_unsigned_baseline(lanes[k], scale));
    };
    return _mm_setr_epi32(lane(0), lane(1), lane(2), lane(3));
}

// Lanes of `mask` (4 x 64 bits) for 0 <= value < limit.
inline __m256i below(__m256i value, __m256i limit) {
    const __m256i negative = _mm256_cmpgt_epi64(_mm256_setzero_si256(), value);
    return _mm256_andnot_si256(negative, _mm256_cmpgt_epi64(limit, value));
}

inline __m256i larger(__m256i a, __m256i b) {
    return _mm256_blendv_epi8(a, b, _mm256_cmpgt_epi64(b, a));
}

// kernel_may_draw for four runs at once, in 64-bit lanes (the products of
// 32-bit values are exact there); bit k of the result for lane k. The rule
// is built in texel_run.h from run_ends, within and the furthest texel:
// change also there.
int fit_for_kernel(__m128i u, __m128i v, __m128i du, __m128i dv, __m128i z, __m128i dz,
                   __m128i length, bool depth, const TextureView& texture, int32_t texel_size) {
    const __m256i last = _mm256_cvtepi32_epi64(_mm_sub_epi32(length, _mm_set1_epi32(1)));
    const __m256i u_first = _mm256_cvtepi32_epi64(u);
    const __m256i v_first = _mm256_cvtepi32_epi64(v);
    const __m256i u_last = _mm256_add_epi64(u_first,
                                            _mm256_mul_epi32(_mm256_cvtepi32_epi64(du), last));
    const __m256i v_last = _mm256_add_epi64(v_first,
                                            _mm256_mul_epi32(_mm256_cvtepi32_epi64(dv), last));
    const __m256i u_limit = _mm256_set1_epi64x((static_cast<int64_t>(texture.max_u) + 1) * 65536);
    const __m256i v_limit = _mm256_set1_epi64x((static_cast<int64_t>(texture.max_v) + 1) * 65536);
    __m256i fit = _mm256_and_si256(
        _mm256_and_si256(below(u_first, u_limit), below(u_last, u_limit)),
        _mm256_and_si256(below(v_first, v_limit), below(v_last, v_limit)));
    if (depth) {
        const __m256i z_first = _mm256_cvtepu32_epi64(z);
        const __m256i z_last = _mm256_add_epi64(z_first,
                                                _mm256_mul_epi32(_mm256_cvtepi32_epi64(dz), last));
        const __m256i depth_limit = _mm256_set1_epi64x(DEPTH_MAX + 1);
        fit = _mm256_and_si256(
            fit, _mm256_and_si256(below(z_first, depth_limit), below(z_last, depth_limit)));
    }
    // The furthest texel: columns and rows are below 2^15 where the ranges
    // hold (elsewhere the lane is refused anyway), so the products are exact.
    const __m256i column = _mm256_srli_epi64(larger(u_first, u_last), 16);
    const __m256i row = _mm256_srli_epi64(larger(v_first, v_last), 16);
    const __m256i offset = _mm256_add_epi64(
        _mm256_mul_epi32(row, _mm256_set1_epi64x(texture.row_bytes)),
        _mm256_mul_epi32(column, _mm256_set1_epi64x(texel_size)));
    fit = _mm256_andnot_si256(_mm256_cmpgt_epi64(offset, _mm256_set1_epi64x(texture.fetch_limit)),
                              fit);
    return _mm256_movemask_pd(_mm256_castsi256_pd(fit));
}

int32_t batch_setup(const RunBoundaries& b, KernelRun* runs, bool* fit_out, bool depth,
                    uint32_t stamp, const TextureView& texture, int32_t texel_size) {
    const bool kernels = texture.kernels != nullptr;
    int32_t unfit = 0;
    // The quotients at every boundary, and one lane past the last.
    alignas(32) double u_a[BOUNDARIES_MOST + 8];
    alignas(32) double v_a[BOUNDARIES_MOST + 8];
    for (int32_t i = 0; i < b.count; i += 4) {
        const __m256d w = _mm256_load_pd(b.w + i);
        _mm256_store_pd(u_a + i, _mm256_div_pd(_mm256_load_pd(b.u_z + i), w));
        _mm256_store_pd(v_a + i, _mm256_div_pd(_mm256_load_pd(b.v_z + i), w));
    }
    const __m128i half_texel = _mm_set1_epi32(0x8000);
    for (int32_t i = 0; i < b.count; i += 4) {
        const __m256d per_step = _mm256_load_pd(b.per_step + i);
        const __m256d ua = _mm256_load_pd(u_a + i);
        const __m256d va = _mm256_load_pd(v_a + i);
        const __m256d du = _mm256_mul_pd(_mm256_sub_pd(_mm256_loadu_pd(u_a + i + 1), ua), per_step);
        const __m256d dv = _mm256_mul_pd(_mm256_sub_pd(_mm256_loadu_pd(v_a + i + 1), va), per_step);
        // Lanes at a span's end have no run: their values are never used,
        // and the checked conversions take whatever they hold.
        const __m128i du_fixed = to_fixed_signed(du, FIXED_16_16);
        const __m128i dv_fixed = to_fixed_signed(dv, FIXED_16_16);
        // Pixel centres, as centred() in run_setup.h: change also there.
        const __m128i u = _mm_add_epi32(
            _mm_add_epi32(to_fixed_signed(ua, FIXED_16_16), _mm_srai_epi32(du_fixed, 1)),
            half_texel);
        const __m128i v = _mm_add_epi32(
            _mm_add_epi32(to_fixed_signed(va, FIXED_16_16), _mm_srai_epi32(dv_fixed, 1)),
            half_texel);
        const __m128i z = depth ? to_fixed_unsigned(_mm256_load_pd(b.w + i), FIXED_8_24)
                                : _mm_setzero_si128();
        const __m128i length = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b.length + i));
        const __m128i depth_step = _mm_loadu_si128(
            reinterpret_cast<const __m128i*>(b.depth_step + i));
        const int fit = kernels ? fit_for_kernel(u, v, du_fixed, dv_fixed, z, depth_step, length,
                                                 depth, texture, texel_size)
                                : 0;
        const __m128i stamped = depth
                                    ? _mm_add_epi32(z, _mm_set1_epi32(static_cast<int32_t>(stamp)))
                                    : _mm_setzero_si128();
        const FourRuns four = {u, v, du_fixed, dv_fixed, stamped, depth_step, length};
        const int32_t end = b.count - i < 4 ? b.count - i : 4;
        if (RUNS_STORED_AS_VECTORS && end == 4) {
            store_four_runs(runs + i, four, b.pixel + i, b.word + i);
            // Bit k of `fit` to byte k (the shifted copies never overlap).
            const uint32_t fit_bytes = (static_cast<uint32_t>(fit) * 0x00204081u) & 0x01010101u;
            std::memcpy(fit_out + i, &fit_bytes, 4);
        } else {
            store_runs(runs + i, four, b.pixel + i, b.word + i, end);
            for (int32_t k = 0; k < end; ++k) fit_out[i + k] = ((fit >> k) & 1) != 0;
        }
        // Runs with pixels that the kernel may not draw (lanes past the last
        // boundary have none).
        const int drawn = _mm_movemask_ps(
            _mm_castsi128_ps(_mm_cmpgt_epi32(length, _mm_setzero_si128())));
        unfit += std::popcount(static_cast<unsigned>(drawn & ~fit));
    }
    return unfit;
}

}  // namespace

void avx2_batch_setup(FastPaths& paths) { paths.batch_setup = batch_setup; }

}  // namespace gx_raster

#else

namespace gx_raster {
void avx2_batch_setup(FastPaths&) {}
}  // namespace gx_raster

#endif
