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
// has them; the exact loop here stays the reference they are tested against
// and draws what they leave (the last few pixels of a run).
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
constexpr int texel_size(int bytes_per_pixel) {
    return bytes_per_pixel == 4 ? 3 : bytes_per_pixel;
}
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

// The normal path. Column and row are floor(u / 65536) and floor(v / 65536):
// the whole parts of the steps move the address every pixel, and a carry out
// of the 16-bit fraction moves it one texel further.
template <int B, bool DEPTH>
inline void texel_run_exact(uint8_t* pixel, uint32_t* word, const TextureView& texture,
                            uint32_t stamp, const TexelRun& run) {
    constexpr int S = TEXEL_SIZE<B>;
    const ptrdiff_t row_bytes = texture.row_bytes;
    ptrdiff_t offset =
        static_cast<ptrdiff_t>(run.v >> 16) * row_bytes + static_cast<ptrdiff_t>(run.u >> 16) * S;
    const ptrdiff_t u_whole = static_cast<ptrdiff_t>(static_cast<int32_t>(run.du) >> 16) * S;
    const ptrdiff_t v_whole =
        static_cast<ptrdiff_t>(static_cast<int32_t>(run.dv) >> 16) * row_bytes;
    const uint32_t u_fraction_step = run.du << 16;
    const uint32_t v_fraction_step = run.dv << 16;
    uint32_t u_fraction = run.u << 16;
    uint32_t v_fraction = run.v << 16;
    uint32_t z = run.depth + stamp;
    for (int32_t i = 0; i < run.count; ++i) {
        if constexpr (DEPTH) {
            if (z > *word) {
                *word = z;
                write_pixel<B>(pixel, texture.pixels + offset);
            }
            z += run.depth_step;
            ++word;
        } else {
            write_pixel<B>(pixel, texture.pixels + offset);
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
            const uint32_t z =
                static_cast<uint32_t>(std::clamp(depth, int64_t{0}, DEPTH_MAX)) + stamp;
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

// Whether a linear 16.16 coordinate stays on texels 0..max over the run.
inline bool stays_within(uint32_t first, uint32_t step, int64_t last_index, int32_t max) {
    const int64_t start = static_cast<int32_t>(first);
    const int64_t end = start + last_index * static_cast<int32_t>(step);
    const int64_t limit = (static_cast<int64_t>(max) + 1) * 65536;
    return start >= 0 && start < limit && end >= 0 && end < limit;
}

// Whether 4 bytes can be read at every texel offset of an exact run (the
// kernels read whole 32-bit words). Column and row are monotonic along the
// run, so the larger end bounds each.
template <int B>
inline bool fetch_within(const TextureView& texture, const TexelRun& run) {
    const int64_t last = run.count - 1;
    const int64_t u_first = static_cast<int32_t>(run.u);
    const int64_t v_first = static_cast<int32_t>(run.v);
    const int64_t u_last = u_first + last * static_cast<int32_t>(run.du);
    const int64_t v_last = v_first + last * static_cast<int32_t>(run.dv);
    const int64_t column = std::max(u_first, u_last) >> 16;
    const int64_t row = std::max(v_first, v_last) >> 16;
    return row * texture.row_bytes + column * TEXEL_SIZE<B> <= texture.fetch_limit;
}

// Whether the exact loop may draw the run: its first and last texel and
// depth lie inside the texture and below the stamp byte; since all three
// are linear in the pixel index, the two ends bound the whole run.
template <bool DEPTH>
inline bool is_exact(const TextureView& texture, const TexelRun& run) {
    const int64_t last = run.count - 1;
    bool exact = stays_within(run.u, run.du, last, texture.max_u) &&
                 stays_within(run.v, run.dv, last, texture.max_v);
    if constexpr (DEPTH) {
        const int64_t first_depth = run.depth;
        const int64_t last_depth = first_depth + last * static_cast<int32_t>(run.depth_step);
        exact = exact && first_depth <= DEPTH_MAX && last_depth >= 0 && last_depth <= DEPTH_MAX;
    }
    return exact;
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

// Whether a kernel may draw the run: is_exact and fetch_within at once,
// with few branches (it is asked for every run).
template <int B, bool DEPTH>
inline bool kernel_may_draw(const TextureView& texture, const TexelRun& run) {
    // Unsigned comparison: a negative value counts as too large.
    const auto below = [](int64_t value, int64_t limit) {
        return static_cast<uint64_t>(value) < static_cast<uint64_t>(limit);
    };
    const int64_t last = run.count - 1;
    const int64_t u_first = static_cast<int32_t>(run.u);
    const int64_t v_first = static_cast<int32_t>(run.v);
    const int64_t u_last = u_first + last * static_cast<int32_t>(run.du);
    const int64_t v_last = v_first + last * static_cast<int32_t>(run.dv);
    const int64_t u_limit = (static_cast<int64_t>(texture.max_u) + 1) * 65536;
    const int64_t v_limit = (static_cast<int64_t>(texture.max_v) + 1) * 65536;
    bool exact = below(u_first, u_limit) & below(u_last, u_limit) & below(v_first, v_limit) &
                 below(v_last, v_limit);
    if constexpr (DEPTH) {
        const int64_t first_depth = run.depth;
        const int64_t last_depth = first_depth + last * static_cast<int32_t>(run.depth_step);
        exact = exact & below(first_depth, DEPTH_MAX + 1) & below(last_depth, DEPTH_MAX + 1);
    }
    if (!exact) return false;
    const int64_t u_high = u_first > u_last ? u_first : u_last;
    const int64_t v_high = v_first > v_last ? v_first : v_last;
    return (v_high >> 16) * texture.row_bytes + (u_high >> 16) * TEXEL_SIZE<B> <= texture.fetch_limit;
}

// The plain version of RunKernels::hidden.
inline int32_t runs_hidden(const uint32_t* word, const KernelRun* run, int32_t runs) {
    for (int32_t k = 0; k < runs; ++k) {
        uint32_t z = run[k].z;
        for (int32_t i = 0; i < run[k].count; ++i) {
            if (z > word[i]) return k;
            z += run[k].dz;
        }
        word += run[k].count;
    }
    return runs;
}

// Most runs handed to a kernel in one call.
inline constexpr int32_t RUN_BATCH = 16;

// Draws consecutive runs of one span from `pixel` and `word` on.
// Stretches of runs the vector kernel in force can take go to it, up to
// RUN_BATCH in one call; the others, and all without a kernel, through
// texel_run.
template <int B, bool DEPTH>
inline void texel_runs(uint8_t* pixel, uint32_t* word, const TextureView& texture, uint32_t stamp,
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
                batch[taken] = {run.u,
                                run.v,
                                run.du,
                                run.dv,
                                run.depth + stamp,
                                run.depth_step,
                                run.count,
                                pixel + static_cast<ptrdiff_t>(pixels) * B,
                                DEPTH ? word + pixels : nullptr};
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
