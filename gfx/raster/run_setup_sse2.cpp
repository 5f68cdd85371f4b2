// The run set-up of run_setup.h (setup_runs_with) with SSE2: u and v side
// by side in one vector, so that each run takes one two-lane division,
// subtraction, multiplication and conversion where the plain code takes two
// of each. Every lane does exactly the operation the plain code does on
// that value, so the results are the same to the bit; values outside the
// fixed-point range go through the plain checked conversion.
#include "gfx/raster/fast_paths.h"

#if defined(__SSE2__)
#include <emmintrin.h>

namespace gx_raster {
namespace {

// Both lanes to 16.16 as fixed_signed converts them.
inline void to_fixed(__m128d value, int32_t& low, int32_t& high) {
    const __m128d scaled = _mm_mul_pd(value, _mm_set1_pd(FIXED_16_16));
    const __m128d in_range = _mm_and_pd(_mm_cmpgt_pd(scaled, _mm_set1_pd(-2147483649.0)),
                                        _mm_cmplt_pd(scaled, _mm_set1_pd(2147483648.0)));
    if (_mm_movemask_pd(in_range) == 3) {
        const __m128i whole = _mm_cvttpd_epi32(scaled);
        low = _mm_cvtsi128_si32(whole);
        high = _mm_cvtsi128_si32(_mm_shuffle_epi32(whole, 1));
    } else {
        alignas(16) double values[2];
        _mm_store_pd(values, value);
        low = fixed_signed(values[0], FIXED_16_16);
        high = fixed_signed(values[1], FIXED_16_16);
    }
}

// The pair (low, high), loaded as two 8-byte values: the caller has just
// stored them one by one, and a 16-byte load of two such stores would wait
// for both to reach the cache instead of taking them from the store queue.
// The empty statement keeps the compiler from merging the two loads.
inline __m128d pair(const double& low, const double& high) {
    __m128d value = _mm_load_sd(&low);
    __asm__("" : "+x"(value));
    return _mm_loadh_pd(value, &high);
}

// u and v in the two lanes of one vector, for setup_runs_with.
struct Sse2Pair {
    __m128d uv;
    static Sse2Pair load(const double& u, const double& v) { return {pair(u, v)}; }
    static Sse2Pair splat(double value) { return {_mm_set1_pd(value)}; }
    void store(double& u_out, double& v_out) const {
        alignas(16) double values[2];
        _mm_store_pd(values, uv);
        u_out = values[0];
        v_out = values[1];
    }
    void to_fixed(int32_t& u_fixed, int32_t& v_fixed) const {
        gx_raster::to_fixed(uv, u_fixed, v_fixed);
    }
    friend Sse2Pair operator+(Sse2Pair a, Sse2Pair b) { return {_mm_add_pd(a.uv, b.uv)}; }
    friend Sse2Pair operator-(Sse2Pair a, Sse2Pair b) { return {_mm_sub_pd(a.uv, b.uv)}; }
    friend Sse2Pair operator*(Sse2Pair a, Sse2Pair b) { return {_mm_mul_pd(a.uv, b.uv)}; }
    friend Sse2Pair operator/(Sse2Pair a, Sse2Pair b) { return {_mm_div_pd(a.uv, b.uv)}; }
};

int32_t setup(SpanSteps& span, TexelRun* runs, int32_t most) {
    return setup_runs_with<Sse2Pair>(span, runs, most);
}

}  // namespace

void sse2_run_setup(FastPaths& paths) { paths.setup = setup; }

}  // namespace gx_raster

#else

namespace gx_raster {
void sse2_run_setup(FastPaths&) {}
}  // namespace gx_raster

#endif
