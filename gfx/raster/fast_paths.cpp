// The rasterizer's fast paths in force, and what the vector files call on
// the baseline processor (see fixed_signed_baseline and exact_tail).
#include "gfx/raster/fast_paths.h"

#include "gfx/raster/texel_run.h"
#include "gfx/simd.h"

namespace gx_raster {

int32_t fixed_signed_baseline(double value, double scale) { return fixed_signed(value, scale); }
uint32_t fixed_unsigned_baseline(double value, double scale) {
    return fixed_unsigned(value, scale);
}

template <int B, bool DEPTH>
void exact_tail(const KernelTexture& texture, const KernelRun& run, int32_t first) {
    exact_pixels<B, DEPTH>(texture.texels, static_cast<ptrdiff_t>(texture.width) * TEXEL_SIZE<B>,
                           run, first);
}
template void exact_tail<1, false>(const KernelTexture&, const KernelRun&, int32_t);
template void exact_tail<1, true>(const KernelTexture&, const KernelRun&, int32_t);
template void exact_tail<2, false>(const KernelTexture&, const KernelRun&, int32_t);
template void exact_tail<2, true>(const KernelTexture&, const KernelRun&, int32_t);
template void exact_tail<3, false>(const KernelTexture&, const KernelRun&, int32_t);
template void exact_tail<3, true>(const KernelTexture&, const KernelRun&, int32_t);
template void exact_tail<4, false>(const KernelTexture&, const KernelRun&, int32_t);
template void exact_tail<4, true>(const KernelTexture&, const KernelRun&, int32_t);

namespace {
constexpr FastPaths PLAIN = {nullptr, runs_hidden, setup_runs, nullptr};
}  // namespace

FastPaths active_fast_paths = PLAIN;

void select_fast_paths(int32_t level) {
    FastPaths paths = PLAIN;
    if (level >= GX_SIMD_SSE2) {
        sse2_run_kernels(paths);
        sse2_run_setup(paths);
    }
    if (level >= GX_SIMD_AVX2) {
        avx2_run_kernels(paths);
        avx2_batch_setup(paths);
    }
    if (level >= GX_SIMD_AVX512) avx512_run_kernels(paths);
    active_fast_paths = paths;
}

}  // namespace gx_raster
