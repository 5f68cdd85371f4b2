// What the library takes for granted about the processor and the compiler,
// checked once here so that a target where one does not hold fails to build
// instead of drawing different pixels. Everything else is plain C++20.
#include <bit>
#include <cfloat>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <limits>

// Pixels are bytes, and buffers, files and tables are addressed byte by byte.
static_assert(CHAR_BIT == 8);

// Multi-byte values are stored lowest byte first: a 32-bit pixel word is
// blue, green, red, pad in memory; a 16-bit 5-6-5 pixel, a depth word and
// the bitmap and PCX header fields are copied to and from memory whole.
static_assert(std::endian::native == std::endian::little);

// int is 32 bits: the usual promotions of 8- and 16-bit pixel values give
// the same results everywhere (no 16-bit int, no 64-bit int).
static_assert(sizeof(int) == 4 && std::numeric_limits<int>::digits == 31);
static_assert(sizeof(std::size_t) >= 4);

// Two's complement wrap-around of conversions to signed types and the
// arithmetic right shift of negative fixed-point values (rounding towards
// minus infinity) are guaranteed from C++20 on.
static_assert(__cplusplus >= 202002L);

// IEEE 754 binary32 and binary64 arithmetic, each operation rounded to its
// own type: no wider intermediates (as x87 arithmetic would keep, which is
// why 32-bit x86 builds use SSE2). Together with the build's
// -ffp-contract=off (no fused multiply-adds) this makes the 3D pipeline's
// results the same on every target.
static_assert(std::numeric_limits<float>::is_iec559 && std::numeric_limits<double>::is_iec559);
static_assert(FLT_EVAL_METHOD == 0);
