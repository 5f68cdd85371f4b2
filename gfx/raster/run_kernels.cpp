// The mappers' vector routines in force, chosen by gx_simd_select.
#include "gfx/raster/run_kernels.h"
#include "gfx/raster/run_setup.h"

#include "gfx/simd.h"

namespace gx_raster {

int32_t fixed_signed_baseline(double value, double scale) { return fixed_signed(value, scale); }
uint32_t fixed_unsigned_baseline(double value, double scale) { return fixed_unsigned(value, scale); }

const RunKernels* active_run_kernels = nullptr;
RunSetup active_run_setup = nullptr;
BatchSetup active_batch_setup = nullptr;

void select_run_kernels(int32_t level) {
    const RunKernels* kernels = nullptr;
    if (level >= GX_SIMD_AVX2) kernels = avx2_run_kernels();
    if (kernels == nullptr && level >= GX_SIMD_SSE2) kernels = sse2_run_kernels();
    active_run_kernels = kernels;
    active_run_setup = level >= GX_SIMD_SSE2 ? sse2_run_setup() : nullptr;
    active_batch_setup = level >= GX_SIMD_AVX2 ? avx2_batch_setup() : nullptr;
}

}  // namespace gx_raster
