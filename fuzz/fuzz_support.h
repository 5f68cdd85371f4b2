// Pieces shared by the fuzz targets: reading parameters from the fuzzer's
// bytes, a fresh library per input, and the checks every target makes after
// each input (nothing leaked, the state record's neighbours of the work
// areas intact).
#pragma once

#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "gfx/gfx.h"
#include "platform/headless/headless.h"
#if __has_include("gfx/simd.h")
#include "gfx/simd.h"
#define FUZZ_SIMD_LEVELS 1
#endif

// A failed check is a finding: report it and crash so that libFuzzer keeps
// the input.
#define FUZZ_CHECK(condition, what)                                                            \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", what, __FILE__, __LINE__); \
            __builtin_trap();                                                                  \
        }                                                                                      \
    } while (0)

namespace fuzz {

// Takes values from the front of the input, little-endian. Once the bytes
// run out every value is 0, so any input is a complete program.
class Input {
public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool empty() const { return at_ >= size_; }
    size_t remaining() const { return size_ - at_; }
    const uint8_t* rest() const { return data_ + at_; }

    uint8_t u8() { return at_ < size_ ? data_[at_++] : 0; }
    uint16_t u16() { return static_cast<uint16_t>(u8() | u8() << 8); }
    uint32_t u32() {
        const uint32_t low = u16();
        return low | static_cast<uint32_t>(u16()) << 16;
    }
    int32_t i32() { return static_cast<int32_t>(u32()); }
    double f64() {
        uint64_t bits = u32();
        bits |= static_cast<uint64_t>(u32()) << 32;
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    // An integer of the kind bad callers pass: small, 16-bit, any 32-bit
    // value, or one of the boundaries where arithmetic tends to break.
    int32_t any_int() {
        static constexpr int32_t EDGES[] = {0,
                                            1,
                                            -1,
                                            2,
                                            3,
                                            4,
                                            255,
                                            256,
                                            257,
                                            -256,
                                            32767,
                                            32768,
                                            -32768,
                                            65535,
                                            65536,
                                            -65536,
                                            GX_COORD_LIMIT,
                                            GX_COORD_LIMIT + 1,
                                            -GX_COORD_LIMIT,
                                            -GX_COORD_LIMIT - 1,
                                            1 << 30,
                                            -(1 << 30),
                                            std::numeric_limits<int32_t>::max(),
                                            std::numeric_limits<int32_t>::max() - 1,
                                            std::numeric_limits<int32_t>::min(),
                                            std::numeric_limits<int32_t>::min() + 1};
        const uint8_t kind = u8();
        switch (kind & 3) {
            case 0: return static_cast<int8_t>(u8());
            case 1: return static_cast<int16_t>(u16());
            case 2: return i32();
            default: return EDGES[(kind >> 2) % (sizeof EDGES / sizeof EDGES[0])];
        }
    }

    // A double of the kind bad geometry holds: small whole numbers, fractions,
    // any bit pattern, or a special value (NaN, infinities, extremes, and
    // `pivot` with its neighbours, such as a depth exactly on the near plane).
    double any_double(double pivot = 0.0) {
        const uint8_t kind = u8();
        switch (kind % 5) {
            case 0: return static_cast<int8_t>(u8());
            case 1: return static_cast<int16_t>(u16());
            case 2: return static_cast<int16_t>(u16()) / 256.0;
            case 3: return f64();
            default: break;
        }
        const double specials[] = {std::numeric_limits<double>::quiet_NaN(),
                                   -std::numeric_limits<double>::quiet_NaN(),
                                   std::numeric_limits<double>::infinity(),
                                   -std::numeric_limits<double>::infinity(),
                                   0.0,
                                   -0.0,
                                   DBL_MAX,
                                   -DBL_MAX,
                                   DBL_MIN,
                                   std::numeric_limits<double>::denorm_min(),
                                   1e300,
                                   -1e300,
                                   1e-300,
                                   1.0 / 256.0,
                                   pivot,
                                   std::nextafter(pivot, INFINITY),
                                   std::nextafter(pivot, -INFINITY),
                                   -pivot};
        return specials[(kind / 5) % (sizeof specials / sizeof specials[0])];
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

// A started library with a window DC and a realized palette, on a headless
// screen of the given depth. The destructor takes everything down again and
// checks that no memory block or platform object outlived the input.
class Session {
public:
    explicit Session(int32_t screen_bits, int32_t window_width = 64, int32_t window_height = 48) {
        headless_reset();
        headless_set_screen(screen_bits, 1);
        blocks_ = headless_live_blocks();
        objects_ = headless_live_objects();
        gx_state = GraphicsState{};
        dc_ = headless_window_dc(window_width, window_height);
        gx_set_dc(dc_);
        gx_initialize();
        palette_ = gx_create_palette();
        gx_realize_palette(palette_);
    }

    ~Session() {
        headless_fail_allocations(0, 0);
        gx_buffer_close();
        gx_buffer_free(-1);
        gx_shutdown();
        // The palette can go once the DC no longer holds it.
        pf_delete_dc(dc_);
        if (palette_ != nullptr) pf_delete_object(pf_as_object(palette_));
        FUZZ_CHECK(headless_live_blocks() == blocks_, "memory blocks leaked");
        FUZZ_CHECK(headless_live_objects() == objects_, "platform objects leaked");
        check_state_intact();
        headless_reset();
    }

    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    PfDC dc() const { return dc_; }

    // The fields around the work areas: a list written past its area would
    // show here first.
    static void check_state_intact() {
        const GraphicsState fresh{};
        FUZZ_CHECK(std::memcmp(gx_state.avi_library_name, fresh.avi_library_name,
                               sizeof fresh.avi_library_name) == 0,
                   "state after the work areas overwritten");
        for (int i = 0; i < GX_AVI_ENTRY_COUNT; ++i) {
            FUZZ_CHECK(std::strcmp(gx_state.avi_entries[i].name, fresh.avi_entries[i].name) == 0,
                       "AVI entry names overwritten");
        }
        FUZZ_CHECK(gx_state.perspective_run == 32, "perspective_run changed");
        FUZZ_CHECK(std::strcmp(gx_state.banner, fresh.banner) == 0, "banner overwritten");
    }

private:
    PfDC dc_ = nullptr;
    PfPalette palette_ = nullptr;
    int32_t blocks_ = 0;
    int32_t objects_ = 0;
};

// Whether the library has fast paths at several instruction-set levels.
inline bool has_simd_levels() {
#ifdef FUZZ_SIMD_LEVELS
    return true;
#else
    return false;
#endif
}

// Selects a level of the fast paths (0 the plain code), lowered to what
// the processor has.
inline void select_simd(int32_t level) {
#ifdef FUZZ_SIMD_LEVELS
    gx_simd_select(level);
#else
    (void)level;
#endif
}

// The four buffer depths, chosen by two bits.
inline int32_t depth_of(uint32_t bits) {
    static constexpr int32_t DEPTHS[] = {8, 16, 24, 32};
    return DEPTHS[bits & 3];
}

// Opens a new buffer of this depth and size; -1 when it cannot be had.
inline int32_t open_buffer(int32_t depth, int32_t width, int32_t height) {
    gx_set_buffer_depth(depth);
    const int32_t slot = gx_buffer_alloc(width, height);
    if (slot < 0) return -1;
    gx_buffer_open(slot);
    return slot;
}

// Pixel memory of the open buffer, for before-and-after comparisons.
inline size_t active_bytes() {
    return gx_state.active_buffer < 0 ? 0 : static_cast<size_t>(gx_state.active_size);
}

}  // namespace fuzz
