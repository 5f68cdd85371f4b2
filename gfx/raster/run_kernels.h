// The interface between the mappers and the vector kernels that draw exact
// runs (texel_run.h) a group of pixels at a time. A kernel computes pixel
// i's values directly rather than by stepping: its texel is column U_i >> 16
// and row V_i >> 16 with U_i = U + i * du (no wrap-around occurs on an exact
// run, so this is the texel the carry stepping of the exact loop reaches),
// and its depth is Z_i = Z + i * dZ modulo 2^32, compared unsigned. The
// bytes written are those of the exact loop.
//
// Kernels live in files of their own (the AVX2 one is compiled for AVX2)
// and share nothing with the rest of the library but this plain interface,
// the templates below (instantiated there with the file's own types, so
// they stay private to it) and functions compiled for the baseline
// processor, so no code built for a newer processor can be picked up by
// older ones.
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
};

// The exact loop of texel_run.h for pixels `first` to run.count - 1 of a
// kernel's run, compiled for the baseline processor: the kernels draw with
// it what their groups leave. Defined for B = 1 to 4.
template <int B, bool DEPTH>
void exact_tail(const KernelTexture& texture, const KernelRun& run, int32_t first);

// A level's kernel table, from its drawing of one run,
// DrawRun<B, DEPTH>::draw(texture, run), for runs of DrawRun::SHORTEST
// pixels or more; shorter runs go to exact_tail after the others (runs
// never share a pixel, so the order changes nothing), which keeps calls
// out of the vector loop.
template <int B, bool DEPTH, class DrawRun>
void draw_each(const KernelTexture& texture, const KernelRun* run, int32_t runs) {
    bool short_runs = false;
    for (int32_t k = 0; k < runs; ++k) {
        if (run[k].count >= DrawRun::SHORTEST) {
            DrawRun::draw(texture, run[k]);
        } else if (run[k].count > 0) {
            short_runs = true;
        }
    }
    if (!short_runs) return;
    for (int32_t k = 0; k < runs; ++k) {
        if (run[k].count > 0 && run[k].count < DrawRun::SHORTEST)
            exact_tail<B, DEPTH>(texture, run[k], 0);
    }
}

template <template <int, bool> class DrawRun>
constexpr RunKernels run_kernels_of() {
    return {{{draw_each<1, false, DrawRun<1, false>>, draw_each<1, true, DrawRun<1, true>>},
             {draw_each<2, false, DrawRun<2, false>>, draw_each<2, true, DrawRun<2, true>>},
             {draw_each<3, false, DrawRun<3, false>>, draw_each<3, true, DrawRun<3, true>>},
             {draw_each<4, false, DrawRun<4, false>>, draw_each<4, true, DrawRun<4, true>>}}};
}

// The depth pre-test (HiddenTest), written once for every level. `Groups`
// tests a run's pixels Groups::SIZE at a time: Groups(run) sets up at its
// first pixel, and any_pass(words) tells whether any of the next SIZE
// pixels is in front of its word, then moves on by SIZE. Pixels past the
// last whole group are tested by one more group ending at the run's last
// pixel (testing some pixels twice changes no answer), or one by one in a
// run shorter than a group.
template <class Groups>
int32_t count_hidden(const uint32_t* word, const KernelRun* run, int32_t runs) {
    for (int32_t k = 0; k < runs; ++k) {
        const KernelRun& r = run[k];
        if (r.count >= Groups::SIZE) {
            const int32_t whole = r.count - r.count % Groups::SIZE;
            Groups groups(r);
            for (int32_t i = 0; i < whole; i += Groups::SIZE) {
                if (groups.any_pass(word + i)) return k;
            }
            if (whole < r.count) {
                const int32_t last = r.count - Groups::SIZE;
                KernelRun end = r;
                end.z = r.z + static_cast<uint32_t>(last) * r.dz;
                if (Groups(end).any_pass(word + last)) return k;
            }
        } else {
            for (int32_t i = 0; i < r.count; ++i) {
                if (r.z + static_cast<uint32_t>(i) * r.dz > word[i]) return k;
            }
        }
        word += r.count;
    }
    return runs;
}

}  // namespace gx_raster
