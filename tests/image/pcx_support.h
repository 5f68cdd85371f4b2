// Shared pieces of the image tests: a library set-up, a small PCX writer,
// files, and models worked out from the rules alone: what reading a file and
// what a colour reduction must give.
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

// The header fields a test sets, in aggregate order; the other bytes are zero.
struct Header {
    uint32_t xmax = 0, ymax = 0, plane_bytes = 0;
    uint8_t planes = 1, bits = 8;
    uint32_t xmin = 0, ymin = 0;
    uint8_t version = 5;
    std::array<uint8_t, 48> palette = [] {
        std::array<uint8_t, 48> c{};  // sixteen distinct colours
        for (size_t i = 0; i < c.size(); ++i) c[i] = static_cast<uint8_t>(i * 11);
        return c;
    }();
};

// Runs (at most 63) as a count code and the value, single bytes below 0xC0 as themselves.
Bytes encode(const Bytes& raw);
Bytes pcx_file(const Header& header, const Bytes& data);
void append_trailing(Bytes& file, const Bytes& colors768, uint8_t marker = 12);

std::string temp_path(const std::string& name);
void write_file(const std::string& path, const Bytes& bytes);
Bytes read_file(const std::string& path);
// Removes a file the reader has read: Windows refuses while it is open.
void remove_released(const std::string& path);

// Colour reduction, every distance in full: merge the closest pair of used
// colours (the first visited among equally close pairs, unless a later
// pair's second member has fewer pixels than both of the kept pair's) until
// `count` are left; the member with fewer pixels (the lower index on a tie)
// goes into the other. Survivors get dense numbers in index order, shifted
// to `first`; slots outside first..first+count-1 turn black unless first is 0.
struct Reference {
    uint32_t counts[256] = {};
    Bytes rgb, pixels;
};
Reference reference_reduce(const Bytes& pixels, int first, int count, const Bytes& rgb);

// A read's result, every buffer pixel (row by row), the 256 palette colours.
struct Outcome {
    int32_t result = 0;
    Pixels pixels;
    Bytes palette;
    bool operator==(const Outcome&) const = default;
};

// A started library with a window DC and a realized palette on a 32-bit screen.
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
    Outcome now(int32_t result) const;  // the buffer and palette as they are
    int32_t load_file(const Bytes& file, int32_t flags);
    // Through a block of exactly the file's size (the sanitizer sees overreads).
    int32_t load_memory(const Bytes& file, int32_t flags);

    // The outcome the rules give for reading `file` into the open buffer as
    // it stands now. `stream` false: file mode whose chunks give nothing.
    Outcome modelled(const Bytes& file, int32_t flags, bool memory, bool stream = true) const;

    PfDC dc_ = nullptr;
    PfPalette palette_ = nullptr;
    int32_t slot_ = -1;
    int blocks_at_start_ = 0;
};

}  // namespace pcxtest
