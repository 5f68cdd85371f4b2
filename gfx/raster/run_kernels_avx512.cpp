// The exact pixel loop with AVX-512 (F, BW, VL, VBMI), sixteen pixels per
// group, and the depth pre-test sixteen words at a time.
//
// A group's coordinates and depths are sixteen 32-bit lanes of one 512-bit
// vector; the depth test is one unsigned comparison into a lane mask, and
// that mask, with the lanes past the run's end cleared, is the store mask
// of the depth words and the pixels, so a run's last group needs no
// overlap and a run of any length is drawn here.
//
// Texels: a group whose texels lie on at most four texture rows and within
// sixteen neighbouring columns takes them from four row loads of sixteen
// texels, each pixel's texel picked by permutes (8-bit: one register of 64
// texels, one byte permute; 16-bit: two registers of 32 texels, one word
// permute; 24- and 32-bit pixels, whose texels are 3 bytes: a register a
// row, a byte permute per pair of rows and a blend).
// Other groups load their texels one by one (as the AVX2 kernels do: on the
// processors measured gathers were slower).
#include "gfx/raster/fast_paths.h"

#if defined(__AVX512F__) && defined(__AVX512BW__) && defined(__AVX512VL__) && \
    defined(__AVX512VBMI__)
#include <immintrin.h>

#include <array>
#include <cstring>

// GCC 12's AVX-512 intrinsics start some results from an undefined vector,
// which its uninitialised-use warning takes for a fault.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace gx_raster {
namespace {

inline __m512i splat(uint32_t value) { return _mm512_set1_epi32(static_cast<int32_t>(value)); }

// value + i * step in lane i.
inline __m512i lanes(uint32_t value, uint32_t step) {
    const __m512i index = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    return _mm512_add_epi32(splat(value), _mm512_mullo_epi32(index, splat(step)));
}

// The group's columns and rows span at most WINDOW_COLUMNS and WINDOW_ROWS.
constexpr uint32_t WINDOW_COLUMNS = 16;
constexpr uint32_t WINDOW_ROWS = 4;

// Sixteen 16-bit texels from a window of four rows of sixteen texels whose
// first texel is at `at`; rows past `last_row` (0 to 3) repeat it, so
// nothing past the group's rows is read. `index` holds each pixel's
// column - first column + 16 * (row - first row) in its 32-bit lane.
inline __m256i window_texels(const uint8_t* at, ptrdiff_t row_bytes, uint32_t last_row,
                             __m512i index) {
    const auto row = [&](uint32_t k) {
        const uint32_t r = k < last_row ? k : last_row;
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + r * row_bytes));
    };
    const __m512i low = _mm512_inserti64x4(_mm512_castsi256_si512(row(0)), row(1), 1);
    const __m512i word_index = _mm512_castsi256_si512(_mm512_cvtepi32_epi16(index));
    // Two rows fill one register: one single-source permute does.
    if (last_row <= 1) return _mm512_castsi512_si256(_mm512_permutexvar_epi16(word_index, low));
    const __m512i high = _mm512_inserti64x4(_mm512_castsi256_si512(row(2)), row(3), 1);
    return _mm512_castsi512_si256(_mm512_permutex2var_epi16(low, word_index, high));
}

// A group's texel indices in memory, for scalar loads, as in the AVX2
// kernels; the empty statement makes the compiler keep the array.
struct TexelIndices {
    int32_t at[16];
    explicit TexelIndices(__m512i offset) {
        _mm512_storeu_si512(at, offset);
        __asm__("" : "+m"(at));
    }
    int32_t operator[](int k) const { return at[k]; }
};

// Sixteen 16-bit texels, each by its own load; `offset` holds each pixel's
// texel index (0 in lanes past the run's end, a texel that always exists).
inline __m256i each_texel(const uint8_t* texels, __m512i offset) {
    const TexelIndices index(offset);
    uint16_t value[16];
    for (int k = 0; k < 16; ++k)
        std::memcpy(&value[k], texels + static_cast<ptrdiff_t>(index[k]) * 2, 2);
    __m128i low = _mm_cvtsi32_si128(value[0]);
    low = _mm_insert_epi16(low, value[1], 1);
    low = _mm_insert_epi16(low, value[2], 2);
    low = _mm_insert_epi16(low, value[3], 3);
    low = _mm_insert_epi16(low, value[4], 4);
    low = _mm_insert_epi16(low, value[5], 5);
    low = _mm_insert_epi16(low, value[6], 6);
    low = _mm_insert_epi16(low, value[7], 7);
    __m128i high = _mm_cvtsi32_si128(value[8]);
    high = _mm_insert_epi16(high, value[9], 1);
    high = _mm_insert_epi16(high, value[10], 2);
    high = _mm_insert_epi16(high, value[11], 3);
    high = _mm_insert_epi16(high, value[12], 4);
    high = _mm_insert_epi16(high, value[13], 5);
    high = _mm_insert_epi16(high, value[14], 6);
    high = _mm_insert_epi16(high, value[15], 7);
    return _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
}

// As window_texels, for 8-bit texels: the four rows of sixteen fill one
// register.
inline __m128i window_texels8(const uint8_t* at, ptrdiff_t row_bytes, uint32_t last_row,
                              __m512i index) {
    const auto row = [&](uint32_t k) {
        const uint32_t r = k < last_row ? k : last_row;
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + r * row_bytes));
    };
    __m512i window = _mm512_castsi128_si512(row(0));
    window = _mm512_inserti32x4(window, row(1), 1);
    window = _mm512_inserti32x4(window, row(2), 2);
    window = _mm512_inserti32x4(window, row(3), 3);
    const __m512i byte_index = _mm512_castsi128_si512(_mm512_cvtepi32_epi8(index));
    return _mm512_castsi512_si128(_mm512_permutexvar_epi8(byte_index, window));
}

// As each_texel, for 8-bit texels.
inline __m128i each_texel8(const uint8_t* texels, __m512i offset) {
    const TexelIndices index(offset);
    __m128i x = _mm_cvtsi32_si128(texels[index[0]]);
    x = _mm_insert_epi8(x, texels[index[1]], 1);
    x = _mm_insert_epi8(x, texels[index[2]], 2);
    x = _mm_insert_epi8(x, texels[index[3]], 3);
    x = _mm_insert_epi8(x, texels[index[4]], 4);
    x = _mm_insert_epi8(x, texels[index[5]], 5);
    x = _mm_insert_epi8(x, texels[index[6]], 6);
    x = _mm_insert_epi8(x, texels[index[7]], 7);
    x = _mm_insert_epi8(x, texels[index[8]], 8);
    x = _mm_insert_epi8(x, texels[index[9]], 9);
    x = _mm_insert_epi8(x, texels[index[10]], 10);
    x = _mm_insert_epi8(x, texels[index[11]], 11);
    x = _mm_insert_epi8(x, texels[index[12]], 12);
    x = _mm_insert_epi8(x, texels[index[13]], 13);
    x = _mm_insert_epi8(x, texels[index[14]], 14);
    return _mm_insert_epi8(x, texels[index[15]], 15);
}

// As window_texels, for 24- and 32-bit pixels: sixteen 3-byte texels and a zero
// fourth byte. Rows start 64 bytes apart in a pair of registers, so texel
// (column c, row r) starts at byte 3c + 64 (r & 1) of pair r >> 1.
inline __m512i window_texels24(const uint8_t* at, ptrdiff_t row_bytes, uint32_t last_row,
                               __m512i index) {
    const auto row = [&](uint32_t k) {
        const uint32_t r = k < last_row ? k : last_row;
        return _mm512_loadu_si512(at + r * row_bytes);
    };
    const __m512i column = _mm512_and_si512(index, splat(15));
    const __m512i first = _mm512_add_epi32(
        _mm512_add_epi32(column, _mm512_add_epi32(column, column)),
        _mm512_slli_epi32(_mm512_and_si512(index, splat(16)), 2));
    // Bytes first, first + 1, first + 2 of the pair into bytes 0-2 of the lane.
    const __m512i bytes = _mm512_add_epi32(_mm512_mullo_epi32(first, splat(0x01010101u)),
                                           splat(0x00020100u));
    constexpr __mmask64 TEXEL_BYTES = 0x7777777777777777u;
    const __m512i low = _mm512_maskz_permutex2var_epi8(TEXEL_BYTES, row(0), bytes, row(1));
    if (last_row <= 1) return low;
    const __m512i high = _mm512_maskz_permutex2var_epi8(TEXEL_BYTES, row(2), bytes, row(3));
    return _mm512_mask_blend_epi32(_mm512_test_epi32_mask(index, splat(32)), low, high);
}

// As each_texel, for 24- and 32-bit pixels: 4 bytes read at each 3-byte texel
// (readable, as the kernels may assume), the fourth cleared.
inline __m512i each_texel24(const uint8_t* texels, __m512i offset) {
    const TexelIndices index(offset);
    __m128i quarter[4];
    for (int q = 0; q < 4; ++q) {
        int32_t value[4];
        for (int k = 0; k < 4; ++k)
            std::memcpy(&value[k], texels + static_cast<ptrdiff_t>(index[4 * q + k]) * 3, 4);
        __m128i x = _mm_cvtsi32_si128(value[0]);
        x = _mm_insert_epi32(x, value[1], 1);
        x = _mm_insert_epi32(x, value[2], 2);
        quarter[q] = _mm_insert_epi32(x, value[3], 3);
    }
    const __m512i low = _mm512_inserti32x4(_mm512_castsi128_si512(quarter[0]), quarter[1], 1);
    const __m512i both = _mm512_inserti32x4(low, quarter[2], 2);
    return _mm512_and_si512(_mm512_inserti32x4(both, quarter[3], 3), splat(0x00FFFFFFu));
}

// Sixteen texels of B bytes.
template <int B>
struct Texels;
template <>
struct Texels<1> {
    using Vector = __m128i;
};
template <>
struct Texels<2> {
    using Vector = __m256i;
};
template <>
struct Texels<3> {
    using Vector = __m512i;
};
template <>
struct Texels<4> {
    using Vector = __m512i;
};

// Byte j of sixteen 3-byte pixels is byte j % 3 of lane j / 3.
alignas(64) constexpr std::array<uint8_t, 64> PACKED_PIXEL_BYTES = [] {
    std::array<uint8_t, 64> index{};
    for (int j = 0; j < 48; ++j) index[j] = static_cast<uint8_t>(4 * (j / 3) + j % 3);
    return index;
}();

// A run of B-byte pixels, sixteen at a time.
template <int B, bool DEPTH>
void draw_sixteens(const KernelTexture& texture, const KernelRun& run) {
    __m512i u = lanes(run.u, run.du);
    __m512i v = lanes(run.v, run.dv);
    __m512i z = DEPTH ? lanes(run.z, run.dz) : _mm512_setzero_si512();
    const __m512i du16 = splat(run.du << 4);
    const __m512i dv16 = splat(run.dv << 4);
    const __m512i dz16 = splat(run.dz << 4);
    const __m512i row_bits = splat(0xFFFF0000u);
    const __m512i row_length = splat((static_cast<uint32_t>(texture.width) << 16) | 1u);
    constexpr int S = B == 4 ? 3 : B;                    // texel bytes
    constexpr uint32_t ROW_LOAD = B >= 3 ? 64 : 16 * B;  // bytes a window row load reads
    const ptrdiff_t row_bytes = static_cast<ptrdiff_t>(texture.width) * S;
    const auto width = static_cast<uint32_t>(texture.width);
    const auto bytes = static_cast<uint32_t>(texture.bytes);
    uint32_t u_first = run.u;
    uint32_t v_first = run.v;
    const uint32_t u_span = 15 * run.du;
    const uint32_t v_span = 15 * run.dv;
    for (int32_t i = 0; i < run.count; i += 16) {
        const int32_t left = run.count - i;
        const __mmask16 keep = left >= 16 ? __mmask16(0xFFFF)
                                          : static_cast<__mmask16>((1u << left) - 1u);
        __mmask16 pass = keep;
        if constexpr (DEPTH) {
            uint32_t* at = run.word + i;
            const __m512i old = _mm512_maskz_loadu_epi32(keep, at);
            pass = _mm512_mask_cmpgt_epu32_mask(keep, z, old);
            if (pass == 0xFFFF) {
                _mm512_storeu_si512(at, z);
            } else if (pass != 0) {
                _mm512_mask_storeu_epi32(at, pass, z);
            }
        }
        if (pass != 0) {
            // Columns and rows are monotonic along a run, so the group's
            // first and last pixels bound them.
            const auto last = static_cast<uint32_t>(left - 1);
            const uint32_t column_a = u_first >> 16;
            const uint32_t column_b = (u_first + (left >= 16 ? u_span : last * run.du)) >> 16;
            const uint32_t row_a = v_first >> 16;
            const uint32_t row_b = (v_first + (left >= 16 ? v_span : last * run.dv)) >> 16;
            const uint32_t column = column_a < column_b ? column_a : column_b;
            const uint32_t columns = (column_a < column_b ? column_b : column_a) - column;
            const uint32_t row = row_a < row_b ? row_a : row_b;
            const uint32_t rows = (row_a < row_b ? row_b : row_a) - row;
            typename Texels<B>::Vector texel;
            if (columns < WINDOW_COLUMNS && rows < WINDOW_ROWS &&
                ((row + rows) * width + column) * S + ROW_LOAD <= bytes) {
                const __m512i place = _mm512_add_epi32(
                    _mm512_srli_epi32(u, 16), _mm512_slli_epi32(_mm512_srli_epi32(v, 16), 4));
                const __m512i index = _mm512_sub_epi32(place, splat(column + row * 16));
                const uint8_t* at = texture.texels +
                                    (static_cast<ptrdiff_t>(row) * width + column) * S;
                if constexpr (B == 1) {
                    texel = window_texels8(at, row_bytes, rows, index);
                } else if constexpr (B == 2) {
                    texel = window_texels(at, row_bytes, rows, index);
                } else {
                    texel = window_texels24(at, row_bytes, rows, index);
                }
            } else {
                const __m512i place = _mm512_or_si512(_mm512_srli_epi32(u, 16),
                                                      _mm512_and_si512(v, row_bits));
                const __m512i offset = _mm512_maskz_mov_epi32(keep,
                                                              _mm512_madd_epi16(place, row_length));
                if constexpr (B == 1) {
                    texel = each_texel8(texture.texels, offset);
                } else if constexpr (B == 2) {
                    texel = each_texel(texture.texels, offset);
                } else {
                    texel = each_texel24(texture.texels, offset);
                }
            }
            void* p = run.pixel + static_cast<ptrdiff_t>(i) * B;
            if constexpr (B == 1) {
                if (pass == 0xFFFF) {
                    _mm_storeu_si128(static_cast<__m128i*>(p), texel);
                } else {
                    _mm_mask_storeu_epi8(p, pass, texel);
                }
            } else if constexpr (B == 2) {
                if (pass == 0xFFFF) {
                    _mm256_storeu_si256(static_cast<__m256i*>(p), texel);
                } else {
                    _mm256_mask_storeu_epi16(p, pass, texel);
                }
            } else if constexpr (B == 3) {
                // Each lane's pass bit spread over its pixel's three bytes.
                const __m512i packed = _mm512_load_si512(PACKED_PIXEL_BYTES.data());
                constexpr __mmask64 PIXEL_BYTES = (__mmask64(1) << 48) - 1;
                __mmask64 store = PIXEL_BYTES;
                if (pass != 0xFFFF) {
                    store &= _mm512_movepi8_mask(_mm512_permutexvar_epi8(
                        packed, _mm512_maskz_mov_epi32(pass, splat(0xFFFFFFFFu))));
                }
                _mm512_mask_storeu_epi8(p, store, _mm512_permutexvar_epi8(packed, texel));
            } else {
                if (pass == 0xFFFF) {
                    _mm512_storeu_si512(p, texel);
                } else {
                    _mm512_mask_storeu_epi32(p, pass, texel);
                }
            }
        }
        u = _mm512_add_epi32(u, du16);
        v = _mm512_add_epi32(v, dv16);
        if constexpr (DEPTH) z = _mm512_add_epi32(z, dz16);
        u_first += run.du << 4;
        v_first += run.dv << 4;
    }
}

template <int B, bool DEPTH>
void draw_runs(const KernelTexture& texture, const KernelRun* run, int32_t runs) {
    for (int32_t k = 0; k < runs; ++k) draw_sixteens<B, DEPTH>(texture, run[k]);
}

// The depth pre-test's groups of sixteen (count_hidden).
struct Sixteens {
    static constexpr int32_t SIZE = 16;
    __m512i z, dz16;
    explicit Sixteens(const KernelRun& run) : z(lanes(run.z, run.dz)), dz16(splat(run.dz << 4)) {}
    bool any_pass(const uint32_t* word) {
        const __mmask16 pass = _mm512_cmpgt_epu32_mask(z, _mm512_loadu_si512(word));
        z = _mm512_add_epi32(z, dz16);
        return pass != 0;
    }
};

}  // namespace

void avx512_run_kernels(FastPaths& paths) {
    static constexpr RunKernels KERNELS = {{{draw_runs<1, false>, draw_runs<1, true>},
                                            {draw_runs<2, false>, draw_runs<2, true>},
                                            {draw_runs<3, false>, draw_runs<3, true>},
                                            {draw_runs<4, false>, draw_runs<4, true>}}};
    paths.hidden = count_hidden<Sixteens>;
    paths.kernels = &KERNELS;
}

}  // namespace gx_raster

#else

namespace gx_raster {
void avx512_run_kernels(FastPaths&) {}
}  // namespace gx_raster

#endif
