// The reader's fast paths in force, chosen by gx_simd_select.
#include "gfx/image/pcx_fast.h"

#include "gfx/simd.h"

namespace pcx {

FastPaths active_fast_paths{};

void select_fast_paths(int32_t level) {
    FastPaths paths{};
    if (level >= GX_SIMD_SSE2) {
        sse2_line_decoder(paths);
        sse2_row_converters(paths);
    }
    if (level >= GX_SIMD_AVX2) avx2_row_converters(paths);
    active_fast_paths = paths;
}

}  // namespace pcx
