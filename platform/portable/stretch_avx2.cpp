// The stretch's AVX2 routine: the expansion through the column table eight
// pixels at a time. An enlarging stretch takes eight neighbouring
// destination pixels from at most eight neighbouring source pixels, so one
// load and one lane permutation by the columns' offsets make them.
#include "platform/portable/stretch_kernels.h"

#if defined(__AVX2__)
#include <immintrin.h>

namespace {

void expand(uint32_t* out, const int32_t* columns, int32_t count, const uint32_t* source,
            int32_t source_count) {
    const int32_t first = columns[0];
    int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const int32_t from = columns[i] - first;
        if (from + 8 > source_count) break;  // the last pixels, one by one
        const __m256i offsets = _mm256_sub_epi32(
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(columns + i)),
            _mm256_set1_epi32(columns[i]));
        const __m256i pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + from));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i),
                            _mm256_permutevar8x32_epi32(pixels, offsets));
    }
    for (; i < count; ++i) out[i] = source[columns[i] - first];
}

}  // namespace

void pf_avx2_stretch_paths(PfStretchPaths& paths) { paths.expand = expand; }

#else

void pf_avx2_stretch_paths(PfStretchPaths&) {}

#endif
