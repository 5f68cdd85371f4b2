// Vector versions of the exact pixel loop of texel_run.h. A kernel draws
// the pixels of exact runs a group at a time, computing pixel i's values
// directly rather than by stepping: its texel is column U_i >> 16 and row
// V_i >> 16 with U_i = U + i * du (no wrap-around occurs on an exact run, so
// this is the texel the carry stepping reaches), and its depth is
// Z_i = Z + i * dZ modulo 2^32, compared unsigned. The bytes written are
// those of the scalar loop.
//
// Kernels live in files of their own (the AVX2 one is compiled for AVX2)
// and share nothing with the rest of the library but this plain interface,
// so no code built for a newer processor can be picked up by older ones.
#pragma once

#include <cstddef>
#include <cstdint>

namespace gx_raster {

// The current texture as a kernel reads it.
struct KernelTexture {
    const uint8_t* texels;  // the first texel
    int32_t width;          // texels per row, below 32768
    int32_t bytes;          // bytes readable from `texels` on
};

// One exact run and where it is drawn.
struct KernelRun {
    uint32_t u, v;    // 16.16 at the first pixel
    uint32_t du, dv;  // per pixel
    uint32_t z, dz;   // depth word of the first pixel (stamp included), its step
    int32_t count;    // pixels; 0 draws nothing
    uint8_t* pixel;   // the first pixel
    uint32_t* word;   // its depth word (unused without depth)
};

// Draws `runs` runs, which never share a pixel.
// Preconditions beyond those of the exact loop: every texel offset fits 31
// bits, and 4 bytes may be read at the offset of any texel of the runs.
using RunKernel = void (*)(const KernelTexture& texture, const KernelRun* run, int32_t runs);

// How many of `runs` consecutive runs from `word` on, counted from the
// first, the depth test hides whole: no pixel's depth above its word. Reads
// only z, dz and count of each run.
using HiddenTest = int32_t (*)(const uint32_t* word, const KernelRun* run, int32_t runs);

struct RunKernels {
    RunKernel draw[4][2];  // [bytes per pixel - 1][depth tested]
    HiddenTest hidden;
};

// The kernels built for each level; null where the build has none.
const RunKernels* sse2_run_kernels();
const RunKernels* avx2_run_kernels();

// The kernels in force (null: the scalar loop), set by gx_simd_select.
extern const RunKernels* active_run_kernels;
void select_run_kernels(int32_t level);

}  // namespace gx_raster
