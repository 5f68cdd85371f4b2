// The second pass of the batched run set-up (run_setup.h) with AVX2: four
// boundaries per step. Every lane does exactly the operation setup_runs does
// on that value (a division, a subtraction, two multiplications, a
// truncating conversion), so the runs are the same to the bit; lanes whose
// values leave the fixed-point range go through the plain checked
// conversions.
#include "gfx/raster/run_setup.h"

#if defined(__AVX2__)
#include <immintrin.h>

namespace gx_raster {
namespace {

// Four values to fixed point as fixed_signed converts them.
inline __m128i to_fixed_signed(__m256d value, double scale) {
    const __m256d scaled = _mm256_mul_pd(value, _mm256_set1_pd(scale));
    const __m256d in_range =
        _mm256_and_pd(_mm256_cmp_pd(scaled, _mm256_set1_pd(-2147483649.0), _CMP_GT_OQ),
                      _mm256_cmp_pd(scaled, _mm256_set1_pd(2147483648.0), _CMP_LT_OQ));
    if (_mm256_movemask_pd(in_range) == 15) return _mm256_cvttpd_epi32(scaled);
    alignas(32) double lanes[4];
    _mm256_store_pd(lanes, value);
    return _mm_setr_epi32(fixed_signed(lanes[0], scale), fixed_signed(lanes[1], scale),
                          fixed_signed(lanes[2], scale), fixed_signed(lanes[3], scale));
}

// Four values to fixed point as fixed_unsigned converts them (the vector
// conversion covers values below 2^31).
inline __m128i to_fixed_unsigned(__m256d value, double scale) {
    const __m256d scaled = _mm256_mul_pd(value, _mm256_set1_pd(scale));
    const __m256d in_range = _mm256_and_pd(_mm256_cmp_pd(scaled, _mm256_set1_pd(-1.0), _CMP_GT_OQ),
                                           _mm256_cmp_pd(scaled, _mm256_set1_pd(2147483648.0), _CMP_LT_OQ));
    if (_mm256_movemask_pd(in_range) == 15) return _mm256_cvttpd_epi32(scaled);
    alignas(32) double lanes[4];
    _mm256_store_pd(lanes, value);
    const auto lane = [&](int k) { return static_cast<int32_t>(fixed_unsigned(lanes[k], scale)); };
    return _mm_setr_epi32(lane(0), lane(1), lane(2), lane(3));
}

void batch_setup(const RunBoundaries& b, TexelRun* runs, bool depth) {
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
        const __m128i u = _mm_add_epi32(_mm_add_epi32(to_fixed_signed(ua, FIXED_16_16), _mm_srai_epi32(du_fixed, 1)),
                                        half_texel);
        const __m128i v = _mm_add_epi32(_mm_add_epi32(to_fixed_signed(va, FIXED_16_16), _mm_srai_epi32(dv_fixed, 1)),
                                        half_texel);
        const __m128i z = depth ? to_fixed_unsigned(_mm256_load_pd(b.w + i), FIXED_8_24) : _mm_setzero_si128();
        alignas(16) uint32_t lanes[5][4];
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes[0]), u);
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes[1]), v);
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes[2]), du_fixed);
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes[3]), dv_fixed);
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes[4]), z);
        const int32_t end = b.count - i < 4 ? b.count - i : 4;
        for (int32_t k = 0; k < end; ++k) {
            runs[i + k] = {lanes[0][k], lanes[1][k], lanes[2][k],          lanes[3][k],
                           lanes[4][k], b.depth_step[i + k], b.length[i + k]};
        }
    }
}

}  // namespace

BatchSetup avx2_batch_setup() { return batch_setup; }

}  // namespace gx_raster

#else

namespace gx_raster {
BatchSetup avx2_batch_setup() { return nullptr; }
}  // namespace gx_raster

#endif
