// Shared pieces of the image tests: a library set-up with one open buffer, a
// small PCX writer, files, and a model of what reading a file must give,
// worked out from the format's rules alone.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "gfx/gfx.h"
#include "platform/headless/headless.h"

namespace pcxtest {

using Bytes = std::vector<uint8_t>;
using Pixels = std::vector<uint32_t>;

constexpr std::array<uint8_t, 48> distinct_colors() {
    std::array<uint8_t, 48> c{};
    for (size_t i = 0; i < c.size(); ++i) c[i] = static_cast<uint8_t>(i * 11);
    return c;
}

// The header fields a test sets, in aggregate order; the other bytes are zero.
struct Header {
    uint32_t xmax = 0, ymax = 0, plane_bytes = 0;
    uint8_t planes = 1, bits = 8;
    uint32_t xmin = 0, ymin = 0;
    uint8_t version = 5;
    std::array<uint8_t, 48> palette = distinct_colors();
};

// Runs (at most 63) as a count code and the value, single bytes below 0xC0 as themselves.
Bytes encode(const Bytes& raw);
Bytes pcx_file(const Header& header, const Bytes& data);
void append_trailing(Bytes& file, const Bytes& colors768, uint8_t marker = 12);

std::string temp_path(const std::string& name);
void write_file(const std::string& path, const Bytes& bytes);
Bytes read_file(const std::string& path);
int open_descriptors();  // where /proc counts them, else -1
// Removes a file the reader has read: Windows refuses while it is open.
void remove_released(const std::string& path);

// 0x00RRGGBB as `LibraryTest::pixel` reads it at a depth of 16 to 32.
uint32_t pixel_of_rgb(uint32_t rgb, int32_t depth);

// A plain colour reduction that computes every distance in full: the
// reduced pixels, palette and per-index counts.
struct Reference {
    uint32_t counts[256] = {};
    Bytes rgb, pixels;
};
Reference reference_reduce(const Bytes& pixels, int first, int count, const Bytes& rgb);

// What a read must leave: its result, every buffer pixel (row by row) and
// the 256 palette colours.
struct Outcome {
    int32_t result = 0;
    Pixels pixels;
    Bytes palette;
    bool operator==(const Outcome&) const = default;
};

// A started library with a window DC and a realized palette on a 32-bit
// screen. Each test opens the buffers it needs; the fixture frees them.
class LibraryTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Opens a fresh buffer of zero bytes; lookup and palette in step.
    void open_buffer(int32_t depth, int32_t width, int32_t height);
    void free_buffers();
    // Pixel (x, y) by the row rule: an index at 8 bits, 5-6-5 at 16,
    // 0x00RRGGBB at 24, and at 32 the fourth byte in bits 24 to 31.
    uint32_t pixel(int32_t x, int32_t y) const;
    Outcome now(int32_t result) const;
    void fill_bytes(uint8_t value);
    Bytes palette_rgb() const;
    int32_t load_file(const Bytes& file, int32_t flags);
    // Through a block of exactly the file's size (the sanitizer sees overreads).
    int32_t load_memory(const Bytes& file, int32_t flags);

    // The outcome the rules give for reading `file` into the open buffer as
    // it stands now. `stream` false: file mode whose chunks give nothing.
    Outcome modelled(const Bytes& file, int32_t flags, bool memory, bool stream = true) const;

    PfDC dc_ = nullptr;
    PfPalette palette_ = nullptr;
    std::vector<int32_t> slots_;
    int blocks_at_start_ = 0;
};

}  // namespace pcxtest
