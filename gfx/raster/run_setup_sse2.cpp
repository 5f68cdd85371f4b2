// The run set-up of run_setup.h with SSE2: u and v side by side in one
// vector, so that each run takes one two-lane division, subtraction,
// multiplication and conversion where the plain code takes two of each.
// Every lane does exactly the operation the plain code does on that value,
// so the results are the same to the bit; values outside the fixed-point
// range go through the plain checked conversion.
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

int32_t setup(SpanSteps& span, TexelRun* runs, int32_t most) {
    __m128d uv_z = pair(span.u_z, span.v_z);
    __m128d uv_a = pair(span.ua, span.va);
    __m128d run_uv = pair(span.run_u, span.run_v);
    double w = span.w;
    double run_w = span.run_w;
    int32_t count = span.count;
    int32_t made = 0;
    for (; made < most && count > 0; ++made) {
        int32_t length = span.run_length;
        if (count <= span.run_length) {
            length = count;
            const double pixels = length;
            run_uv = _mm_mul_pd(pair(span.g_u, span.g_v), _mm_set1_pd(pixels));
            run_w = span.g_w * pixels;
        }
        const double w0 = w;
        const double w1 = w0 + run_w;
        const double per_step = length == span.run_length ? span.per_run_step : 1.0 / length;
        uv_z = _mm_add_pd(uv_z, run_uv);
        const __m128d uv_b = _mm_div_pd(uv_z, _mm_set1_pd(w1));
        const __m128d duv = _mm_mul_pd(_mm_sub_pd(uv_b, uv_a), _mm_set1_pd(per_step));
        w = w1;

        int32_t du_fixed, dv_fixed, ua_fixed, va_fixed;
        to_fixed(duv, du_fixed, dv_fixed);
        to_fixed(uv_a, ua_fixed, va_fixed);
        TexelRun& run = runs[made];
        run.u = static_cast<uint32_t>(ua_fixed) + static_cast<uint32_t>(du_fixed >> 1) + 0x8000u;
        run.v = static_cast<uint32_t>(va_fixed) + static_cast<uint32_t>(dv_fixed >> 1) + 0x8000u;
        run.du = static_cast<uint32_t>(du_fixed);
        run.dv = static_cast<uint32_t>(dv_fixed);
        run.depth = span.depth ? fixed_unsigned(w0, FIXED_8_24) : 0;
        run.depth_step = span.depth_step;
        run.count = length;
        count -= length;
        uv_a = uv_b;
    }
    alignas(16) double values[2];
    _mm_store_pd(values, uv_z);
    span.u_z = values[0];
    span.v_z = values[1];
    _mm_store_pd(values, uv_a);
    span.ua = values[0];
    span.va = values[1];
    _mm_store_pd(values, run_uv);
    span.run_u = values[0];
    span.run_v = values[1];
    span.w = w;
    span.run_w = run_w;
    span.count = count;
    return made;
}

}  // namespace

void sse2_run_setup(FastPaths& paths) { paths.setup = setup; }

}  // namespace gx_raster

#else

namespace gx_raster {
void sse2_run_setup(FastPaths&) {}
}  // namespace gx_raster

#endif
