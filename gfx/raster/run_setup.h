// Setting up the runs of a perspective span: every perspective_run pixels
// the texture coordinates are computed exactly, u/z and v/z divided by the
// interpolated 1/z at both ends of the run, and stepped linearly in 16.16
// fixed point in between. The plain code here is the reference; a vector
// version (run_setup_sse2.cpp) computes u and v together and gives the same
// values.
#pragma once

#include <cstdint>

#include "gfx/raster/texel_run.h"

namespace gx_raster {

// Checked conversions from doubles to fixed point, truncating toward zero.
// Values the format cannot hold (which only broken interpolation produces)
// saturate, and NaN gives 0; the run loops then clamp what they address.
inline int32_t fixed_signed(double value, double scale) {
    const double scaled = value * scale;
    if (scaled > -2147483649.0 && scaled < 2147483648.0) return static_cast<int32_t>(scaled);
    if (!(scaled == scaled)) return 0;
    return scaled > 0.0 ? INT32_MAX : INT32_MIN;
}

inline uint32_t fixed_unsigned(double value, double scale) {
    const double scaled = value * scale;
    if (scaled > -1.0 && scaled < 4294967296.0) return static_cast<uint32_t>(scaled);
    return scaled >= 4294967296.0 ? UINT32_MAX : 0;
}

// The same, compiled for the baseline processor, for the files built for
// newer ones: a file built for AVX2 must not emit its own copy of an inline
// function, which the linker could then hand to every caller.
int32_t fixed_signed_baseline(double value, double scale);
uint32_t fixed_unsigned_baseline(double value, double scale);

inline constexpr double FIXED_16_16 = 65536.0;
inline constexpr double FIXED_8_24 = 16777216.0;

// A perspective span between two runs.
struct SpanSteps {
    double u_z, v_z, w;          // at the next run's first column
    double ua, va;               // u_z / w and v_z / w there
    double run_u, run_v, run_w;  // the change over a full run
    double g_u, g_v, g_w;        // per pixel
    double per_run_step;         // 1 / run length
    int32_t run_length;
    int32_t count;        // pixels not yet in a run
    uint32_t depth_step;  // 8.24 per pixel
    bool depth;           // whether runs carry depth values
};

// A pixel is sampled at its centre, rounded to the nearest texel: the run's
// first 16.16 value is the coordinate at the run's start plus half a step,
// plus half a texel. Change also batch_setup (run_setup_avx2.cpp), which
// does the same in vector lanes.
inline uint32_t centred(int32_t start, int32_t step) {
    return static_cast<uint32_t>(start) + static_cast<uint32_t>(step >> 1) + 0x8000u;
}

// u and v side by side. The set-up does the same operations on both, so a
// vector of two doubles can stand for them (run_setup_sse2.cpp) and give
// the same values; this is the plain pair.
struct PlainPair {
    double u, v;
    static PlainPair load(const double& u, const double& v) { return {u, v}; }
    static PlainPair splat(double value) { return {value, value}; }
    void store(double& u_out, double& v_out) const {
        u_out = u;
        v_out = v;
    }
    // Both to 16.16 (fixed_signed).
    void to_fixed(int32_t& u_fixed, int32_t& v_fixed) const {
        u_fixed = fixed_signed(u, FIXED_16_16);
        v_fixed = fixed_signed(v, FIXED_16_16);
    }
    friend PlainPair operator+(PlainPair a, PlainPair b) { return {a.u + b.u, a.v + b.v}; }
    friend PlainPair operator-(PlainPair a, PlainPair b) { return {a.u - b.u, a.v - b.v}; }
    friend PlainPair operator*(PlainPair a, PlainPair b) { return {a.u * b.u, a.v * b.v}; }
    friend PlainPair operator/(PlainPair a, PlainPair b) { return {a.u / b.u, a.v / b.v}; }
};

// Sets up the next runs of the span, at most `most`; returns how many.
// A run starts where the one before ended, so its first quotient is the
// last one of the run before, and a full run's reciprocal length is the
// same for all. `Pair` holds u and v (PlainPair, or a vector version).
template <class Pair>
inline int32_t setup_runs_with(SpanSteps& span, TexelRun* runs, int32_t most) {
    Pair uv_z = Pair::load(span.u_z, span.v_z);
    Pair uv_a = Pair::load(span.ua, span.va);
    Pair run_uv = Pair::load(span.run_u, span.run_v);
    double w = span.w;
    double run_w = span.run_w;
    int32_t count = span.count;
    int32_t made = 0;
    for (; made < most && count > 0; ++made) {
        int32_t length = span.run_length;
        if (count <= span.run_length) {
            // The span's last run: the change over its own length.
            length = count;
            const double pixels = length;
            run_uv = Pair::load(span.g_u, span.g_v) * Pair::splat(pixels);
            run_w = span.g_w * pixels;
        }
        // Exact values at the run's first column and just after its last.
        const double w0 = w;
        const double w1 = w0 + run_w;
        const double per_step = length == span.run_length ? span.per_run_step : 1.0 / length;
        uv_z = uv_z + run_uv;
        const Pair uv_b = uv_z / Pair::splat(w1);
        const Pair duv = (uv_b - uv_a) * Pair::splat(per_step);
        w = w1;

        int32_t du_fixed, dv_fixed, ua_fixed, va_fixed;
        duv.to_fixed(du_fixed, dv_fixed);
        uv_a.to_fixed(ua_fixed, va_fixed);
        TexelRun& run = runs[made];
        run.u = centred(ua_fixed, du_fixed);
        run.v = centred(va_fixed, dv_fixed);
        run.du = static_cast<uint32_t>(du_fixed);
        run.dv = static_cast<uint32_t>(dv_fixed);
        run.depth = span.depth ? fixed_unsigned(w0, FIXED_8_24) : 0;
        run.depth_step = span.depth_step;
        run.count = length;
        count -= length;
        uv_a = uv_b;
    }
    uv_z.store(span.u_z, span.v_z);
    uv_a.store(span.ua, span.va);
    run_uv.store(span.run_u, span.run_v);
    span.w = w;
    span.run_w = run_w;
    span.count = count;
    return made;
}

inline int32_t setup_runs(SpanSteps& span, TexelRun* runs, int32_t most) {
    return setup_runs_with<PlainPair>(span, runs, most);
}

// setup_runs or a vector version of it (fast_paths.h).
using RunSetup = int32_t (*)(SpanSteps& span, TexelRun* runs, int32_t most);

// ---- Set-up of many spans at once ---------------------------------------------
//
// The same runs computed in two passes: the first walks each span's run
// boundaries with the set-up's own additions (mark_runs); the second
// divides, steps and converts at every boundary at once, four lanes wide.
// A run's values depend only on its two boundaries, and a boundary's
// quotients u/z / 1/z and v/z / 1/z are the same whether carried over from
// the run before or divided afresh, so the runs are those of setup_runs.

inline constexpr int32_t BOUNDARIES_MOST = 128;

// Run boundaries of several spans: each span contributes one entry per run
// and one at its end, where no run starts (length 0).
struct RunBoundaries {
    // At each boundary. Four more entries than boundaries, so that the
    // second pass may read four lanes past the last one.
    alignas(32) double u_z[BOUNDARIES_MOST + 4];
    alignas(32) double v_z[BOUNDARIES_MOST + 4];
    alignas(32) double w[BOUNDARIES_MOST + 4];
    // Of the run starting there.
    alignas(32) double per_step[BOUNDARIES_MOST + 4];
    int32_t length[BOUNDARIES_MOST + 4];
    uint32_t depth_step[BOUNDARIES_MOST + 4];
    uint8_t* pixel[BOUNDARIES_MOST];  // where the run is drawn
    uint32_t* word[BOUNDARIES_MOST];
    int32_t count = 0;
};

// Records the boundaries of the span's next runs, at most `most` runs
// (most + 1 entries), the first drawn at `pixel` and `word` (pixels of
// `bytes` bytes); returns how many runs.
inline int32_t mark_runs(SpanSteps& span, RunBoundaries& b, int32_t most, uint8_t* pixel,
                         uint32_t* word, int32_t bytes) {
    // The span's values in locals: the stores into `b` could otherwise
    // alias them and force a reload on every run.
    double u_z = span.u_z;
    double v_z = span.v_z;
    double w = span.w;
    double run_u = span.run_u;
    double run_v = span.run_v;
    double run_w = span.run_w;
    int32_t count = span.count;
    const int32_t run_length = span.run_length;
    int32_t i = b.count;
    int32_t made = 0;
    b.u_z[i] = u_z;
    b.v_z[i] = v_z;
    b.w[i] = w;
    for (; made < most && count > 0; ++made) {
        int32_t length = run_length;
        double per_step = span.per_run_step;
        if (count <= run_length) {
            length = count;
            run_u = span.g_u * length;
            run_v = span.g_v * length;
            run_w = span.g_w * length;
            if (length != run_length) per_step = 1.0 / length;
        }
        b.per_step[i] = per_step;
        b.length[i] = length;
        b.depth_step[i] = span.depth_step;
        b.pixel[i] = pixel;
        b.word[i] = word;
        pixel += static_cast<ptrdiff_t>(length) * bytes;
        if (word != nullptr) word += length;
        w += run_w;
        u_z += run_u;
        v_z += run_v;
        count -= length;
        ++i;
        b.u_z[i] = u_z;
        b.v_z[i] = v_z;
        b.w[i] = w;
    }
    b.per_step[i] = 0.0;
    b.length[i] = 0;
    b.depth_step[i] = 0;
    b.pixel[i] = pixel;
    b.word[i] = word;
    b.count = i + 1;
    span.u_z = u_z;
    span.v_z = v_z;
    span.w = w;
    span.run_u = run_u;
    span.run_v = run_v;
    span.run_w = run_w;
    span.count = count;
    return made;
}

// The second pass: the run starting at each boundary i into runs[i], ready
// for the vector kernel (depth values with `stamp` added, only if `depth`;
// a count of 0 at a span's end). fit[i] tells whether the texture's kernel
// may draw run i (kernel_may_draw, for texels of `texel_size` bytes).
// Returns the number of runs it may not draw.
using BatchSetup = int32_t (*)(const RunBoundaries& b, KernelRun* runs, bool* fit, bool depth,
                               uint32_t stamp, const TextureView& texture, int32_t texel_size);

}  // namespace gx_raster
