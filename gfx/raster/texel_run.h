// The per-pixel loops of the texture mappers: one stretch of pixels on one
// row, textured from 16.16 coordinates stepped linearly, optionally tested
// against and written to the depth buffer. The perspective mappers call it
// once per run, the affine ones once per span.
//
// Two loops exist. The exact loop is the normal path: it touches only
// integers, steps the texel address by the carries of the 16-bit fractions
// and never multiplies or divides. It runs when the run's first and last
// texel and depth lie inside the texture and below the stamp byte; since all
// three are linear in the pixel index, the two ends bound the whole run. Any
// other run goes through the clamped loop, which gives every pixel whose
// values are in range exactly what the exact loop would, and holds the rest
// at the texture's edges and at the largest depth below the stamp.
//
// Exact runs go to the vector kernels of run_kernels.h when the processor
// has them; the exact loop here stays the reference they are tested
// against. Each kernel draws its runs whole: the pixels past its last
// whole group through exact_tail, which is this exact loop.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "gfx/raster/run_kernels.h"

namespace gx_raster {

// Largest depth value: 1/z just below 1.0 in 8.24. Larger values would
// spill into the frame stamp in the top byte.
inline constexpr int64_t DEPTH_MAX = 0xFFFFFF;

// Texture coordinates are 16.16 in 32 bits, so only the first 32768 columns
// and rows of a texture can be reached.
inline constexpr int32_t TEXEL_REACH = 32768;

// The current texture as the loops address it.
struct TextureView {
    const uint8_t* pixels;
    ptrdiff_t row_bytes;  // texture_width texels
    int32_t max_u;        // last reachable column and row
    int32_t max_v;
    // Vector loops for exact runs, or null for the scalar loop alone; set
    // only when every texel offset fits 31 bits and rows are below 32768
    // texels long (the kernels' preconditions).
    const RunKernels* kernels = nullptr;
    KernelTexture kernel_texture = {};
    ptrdiff_t fetch_limit = -1;  // last offset at which 4 bytes may be read
};

// One stretch of pixels. Coordinates and depth are taken modulo 2^32, as
// the fixed-point formats are; u and v are the 16.16 values at the first
// pixel, already rounded to the nearest texel.
struct TexelRun {
    uint32_t u, v;
    uint32_t du, dv;
    uint32_t depth;       // 8.24, without the stamp
    uint32_t depth_step;  // signed 8.24 step, two's complement
    int32_t count;        // at least 1
};

// Texels are as large as pixels, except that 32-bit pixels take 3-byte
// texels and a 0 fourth byte.
constexpr int texel_size(int bytes_per_pixel) { return bytes_per_pixel == 4 ? 3 : bytes_per_pixel; }
template <int B>
inline constexpr int TEXEL_SIZE = texel_size(B);

template <int B>
inline void write_pixel(uint8_t* pixel, const uint8_t* texel) {
    if constexpr (B == 1) {
        pixel[0] = texel[0];
    } else if constexpr (B == 2) {
        std::memcpy(pixel, texel, 2);
    } else {
        pixel[0] = texel[0];
        pixel[1] = texel[1];
        pixel[2] = texel[2];
        if constexpr (B == 4) pixel[3] = 0;
    }
}

// The normal path over pixels `first` to run.count - 1 of a run in kernel
// form (depth word with the stamp). Column and row are floor(u / 65536) and
// floor(v / 65536): the whole parts of the steps move the address every
// pixel, and a carry out of the 16-bit fraction moves it one texel further.
// The vector kernels draw the pixels their groups leave with this loop too
// (exact_tail); their group code computes the same texels directly.
template <int B, bool DEPTH>
inline void exact_pixels(const uint8_t* texels, ptrdiff_t row_bytes, const KernelRun& run,
                         int32_t first) {
    constexpr int S = TEXEL_SIZE<B>;
    const auto skip = static_cast<uint32_t>(first);
    const uint32_t u = run.u + skip * run.du;
    const uint32_t v = run.v + skip * run.dv;
    ptrdiff_t offset = static_cast<ptrdiff_t>(v >> 16) * row_bytes +
                       static_cast<ptrdiff_t>(u >> 16) * S;
    const ptrdiff_t u_whole = static_cast<ptrdiff_t>(static_cast<int32_t>(run.du) >> 16) * S;
    const ptrdiff_t v_whole = static_cast<ptrdiff_t>(static_cast<int32_t>(run.dv) >> 16) *
                              row_bytes;
    const uint32_t u_fraction_step = run.du << 16;
    const uint32_t v_fraction_step = run.dv << 16;
    uint32_t u_fraction = u << 16;
    uint32_t v_fraction = v << 16;
    uint32_t z = run.z + skip * run.dz;
    uint8_t* pixel = run.pixel + static_cast<ptrdiff_t>(first) * B;
    uint32_t* word = DEPTH ? run.word + first : nullptr;
    for (int32_t i = first; i < run.count; ++i) {
        if constexpr (DEPTH) {
            if (z > *word) {
                *word = z;
                write_pixel<B>(pixel, texels + offset);
            }
            z += run.dz;
            ++word;
        } else {
            write_pixel<B>(pixel, texels + offset);
        }
        pixel += B;
        const uint32_t u_next = u_fraction + u_fraction_step;
        const uint32_t v_next = v_fraction + v_fraction_step;
        offset += u_whole + (u_next < u_fraction ? S : 0);
        offset += v_whole + (v_next < v_fraction ? row_bytes : 0);
        u_fraction = u_next;
        v_fraction = v_next;
    }
}

// A run in kernel form: the depth word carries the stamp.
inline KernelRun kernel_run(uint8_t* pixel, uint32_t* word, uint32_t stamp, const TexelRun& run) {
    return {run.u,          run.v,     run.du, run.dv, run.depth + stamp,
            run.depth_step, run.count, pixel,  word};
}

// The exact loop over a whole run.
template <int B, bool DEPTH>
inline void texel_run_exact(uint8_t* pixel, uint32_t* word, const TextureView& texture,
                            uint32_t stamp, const TexelRun& run) {
    exact_pixels<B, DEPTH>(texture.pixels, texture.row_bytes, kernel_run(pixel, word, stamp, run),
                           0);
}

// The fallback for runs that leave the texture or the depth range.
template <int B, bool DEPTH>
inline void texel_run_clamped(uint8_t* pixel, uint32_t* word, const TextureView& texture,
                              uint32_t stamp, const TexelRun& run) {
    constexpr int S = TEXEL_SIZE<B>;
    uint32_t u = run.u;
    uint32_t v = run.v;
    int64_t depth = run.depth;
    const int64_t depth_step = static_cast<int32_t>(run.depth_step);
    for (int32_t i = 0; i < run.count; ++i) {
        const int32_t column = std::clamp(static_cast<int32_t>(u) >> 16, 0, texture.max_u);
        const int32_t row = std::clamp(static_cast<int32_t>(v) >> 16, 0, texture.max_v);
        const uint8_t* texel = texture.pixels + static_cast<ptrdiff_t>(row) * texture.row_bytes +
                               static_cast<ptrdiff_t>(column) * S;
        if constexpr (DEPTH) {
            const uint32_t z = static_cast<uint32_t>(std::clamp(depth, int64_t{0}, DEPTH_MAX)) +
                               stamp;
            if (z > *word) {
                *word = z;
                write_pixel<B>(pixel, texel);
            }
            depth += depth_step;
            ++word;
        } else {
            write_pixel<B>(pixel, texel);
        }
        pixel += B;
        u += run.du;
        v += run.dv;
    }
}

// ---- Which loop may draw a run ---------------------------------------------
//
// A run is exact when its first and last texel and depth lie inside the
// texture and below the stamp byte; since all three are linear in the pixel
// index, the two ends bound the whole run. A kernel may draw it when it is
// exact and 4 bytes can be read at its furthest texel. These rules are
// built here from the pieces below; fit_for_kernel in run_setup_avx2.cpp
// computes the same in vector lanes: change also there.

// A coordinate or depth at a run's first and last pixel, exact in 64 bits.
struct RunEnds {
    int64_t first, last;
};

inline RunEnds run_ends(int64_t first, uint32_t step, int32_t count) {
    return {first, first + static_cast<int64_t>(count - 1) * static_cast<int32_t>(step)};
}

// Whether 0 <= value < limit (one unsigned comparison: a negative value
// counts as too large).
inline bool within(int64_t value, int64_t limit) {
    return static_cast<uint64_t>(value) < static_cast<uint64_t>(limit);
}

// Whether both ends lie in 0 .. limit - 1.
inline bool ends_within(RunEnds ends, int64_t limit) {
    return within(ends.first, limit) & within(ends.last, limit);
}

// The first 16.16 value past texel `max`.
inline int64_t texel_limit(int32_t max) { return (static_cast<int64_t>(max) + 1) * 65536; }

// The run's columns and rows (texture coordinates taken as signed).
inline RunEnds u_ends(const TexelRun& run) {
    return run_ends(static_cast<int32_t>(run.u), run.du, run.count);
}
inline RunEnds v_ends(const TexelRun& run) {
    return run_ends(static_cast<int32_t>(run.v), run.dv, run.count);
}

// Whether the exact loop may draw the run.
template <bool DEPTH>
inline bool is_exact(const TextureView& texture, const TexelRun& run) {
    bool exact = ends_within(u_ends(run), texel_limit(texture.max_u)) &
                 ends_within(v_ends(run), texel_limit(texture.max_v));
    if constexpr (DEPTH) {
        exact = exact & ends_within(run_ends(run.depth, run.depth_step, run.count), DEPTH_MAX + 1);
    }
    return exact;
}

// Whether 4 bytes can be read at every texel offset of an exact run (the
// kernels read whole 32-bit words). Column and row are monotonic along the
// run, so the larger end bounds each.
template <int B>
inline bool fetch_within(const TextureView& texture, const TexelRun& run) {
    const RunEnds u = u_ends(run);
    const RunEnds v = v_ends(run);
    const int64_t column = std::max(u.first, u.last) >> 16;
    const int64_t row = std::max(v.first, v.last) >> 16;
    return row * texture.row_bytes + column * TEXEL_SIZE<B> <= texture.fetch_limit;
}

// Draws one run, choosing the loop by the run's two ends.
template <int B, bool DEPTH>
inline void texel_run(uint8_t* pixel, uint32_t* word, const TextureView& texture, uint32_t stamp,
                      const TexelRun& run) {
    if (is_exact<DEPTH>(texture, run)) {
        texel_run_exact<B, DEPTH>(pixel, word, texture, stamp, run);
    } else {
        texel_run_clamped<B, DEPTH>(pixel, word, texture, stamp, run);
    }
}

// Whether a kernel may draw the run.
template <int B, bool DEPTH>
inline bool kernel_may_draw(const TextureView& texture, const TexelRun& run) {
    return is_exact<DEPTH>(texture, run) && fetch_within<B>(texture, run);
}

// The plain depth pre-test (RunKernels::hidden): pixel by pixel.
struct OnePixel {
    static constexpr int32_t SIZE = 1;
    uint32_t z, dz;
    explicit OnePixel(const KernelRun& run) : z(run.z), dz(run.dz) {}
    bool any_pass(const uint32_t* word) {
        const bool pass = z > *word;
        z += dz;
        return pass;
    }
};

inline int32_t runs_hidden(const uint32_t* word, const KernelRun* run, int32_t runs) {
    return count_hidden<OnePixel>(word, run, runs);
}

// Most runs handed to a kernel in one call.
inline constexpr int32_t RUN_BATCH = 16;

// Draws consecutive runs of one span from `pixel` and `word` on.
// Stretches of runs the vector kernel in force can take go to it, up to
// RUN_BATCH in one call; the others, and all without a kernel, through
// texel_run.
// Always inlined: an affine span calls it once, and the call would cost
// about 1-2 % of the affine mappers' instructions.
template <int B, bool DEPTH>
[[gnu::always_inline]] inline void texel_runs(uint8_t* pixel, uint32_t* word,
                                              const TextureView& texture, uint32_t stamp,
                                              const TexelRun* runs, int32_t count) {
    KernelRun batch[RUN_BATCH];
    int32_t k = 0;
    while (k < count) {
        int32_t taken = 0;
        int32_t pixels = 0;
        if (texture.kernels != nullptr) {
            while (k + taken < count && taken < RUN_BATCH &&
                   kernel_may_draw<B, DEPTH>(texture, runs[k + taken])) {
                const TexelRun& run = runs[k + taken];
                batch[taken] = kernel_run(pixel + static_cast<ptrdiff_t>(pixels) * B,
                                          DEPTH ? word + pixels : nullptr, stamp, run);
                pixels += run.count;
                ++taken;
            }
        }
        if (taken > 0) {
            texture.kernels->draw[B - 1][DEPTH ? 1 : 0](texture.kernel_texture, batch, taken);
            k += taken;
        } else {
            texel_run<B, DEPTH>(pixel, word, texture, stamp, runs[k]);
            pixels = runs[k].count;
            ++k;
        }
        pixel += static_cast<ptrdiff_t>(pixels) * B;
        if constexpr (DEPTH) word += pixels;
    }
}

}  // namespace gx_raster
