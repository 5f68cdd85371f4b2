// Shared pieces of the image tests: a library set-up with one open buffer,
// a small independent PCX writer, pixel reads by the row rule, and files.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "gfx/gfx.h"
#include "platform/headless/headless.h"

namespace pcxtest {

using Bytes = std::vector<uint8_t>;

// The header fields a test sets; everything else in the 128 bytes is zero.
struct Header {
    uint8_t manufacturer = 10;
    uint8_t version = 5;
    uint8_t encoding = 1;
    uint8_t bits = 8;
    uint32_t xmin = 0, ymin = 0, xmax = 0, ymax = 0;
    uint8_t palette[48] = {};
    uint8_t planes = 1;
    uint32_t plane_bytes = 0;
};

Bytes header_bytes(const Header& header);

// Run-length encodes one stream of bytes the plain way: runs of equal bytes
// (at most 63 each) as a count code and the value, single bytes below 0xC0
// as themselves, single bytes from 0xC0 up as a run of one.
Bytes encode(const Bytes& raw);

// A whole file: header, encoded data, and optionally a trailing palette
// (marker byte then 256 triples).
Bytes pcx_file(const Header& header, const Bytes& data);
void append_trailing(Bytes& file, const uint8_t* colors768, uint8_t marker = 12);

// A w x h image whose decoded scan line y (all planes) is line(y); sets the
// header's xmax and ymax.
Bytes lines_file(Header header, uint32_t w, uint32_t h, const std::function<Bytes(uint32_t)>& line);

// A 256-colour image of w x h whose pixel (x, y) is indices[y * w + x],
// with each scan line padded to plane_bytes (>= w) with `pad`.
Bytes indexed_file(uint32_t w, uint32_t h, const Bytes& indices, uint32_t plane_bytes,
                   uint8_t version = 5, const uint8_t* trailing768 = nullptr, uint8_t pad = 0);

// A unique path inside the test's temporary directory.
std::string temp_path(const std::string& name);
void write_file(const std::string& path, const Bytes& bytes);
Bytes read_file(const std::string& path);

// Number of this process's open file descriptors, where they can be
// counted: with POSIX paths, through /proc. -1 elsewhere: a Windows program
// run under a compatibility layer would count the host's descriptors,
// which come and go for the layer's own reasons.
int open_descriptors();
// Removes a file the reader has read, expecting success: Windows refuses to
// remove a file that is still open, so there this proves the file was closed.
void remove_released(const std::string& path);

// 5-6-5 of an RGB colour, by the formula of the pixel format.
inline uint16_t rgb565(uint32_t r, uint32_t g, uint32_t b) {
    return static_cast<uint16_t>(((r & 0xF8) << 8) | ((g >> 2) << 5) | (b >> 3));
}

// A started library with a window DC and a realized palette, on a 32-bit
// screen. Each test opens the buffers it needs; the fixture frees them.
class LibraryTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Allocates and opens a buffer and fills it with zero bytes. Returns the slot.
    int32_t open_buffer(int32_t depth, int32_t width, int32_t height);
    // Closes the open buffer and frees every buffer this test made.
    void free_buffers();

    // Pixel (x, y) of the open buffer, read by the row rule: an index at 8
    // bits, the 5-6-5 value at 16, 0x00RRGGBB at 24 and 32 (the fourth byte
    // of a 32-bit pixel is in bits 24 to 31).
    uint32_t pixel(int32_t x, int32_t y) const;
    // The pixels of a w x h rectangle at (x, y), row by row.
    std::vector<uint32_t> area(int32_t x, int32_t y, int32_t w, int32_t h) const;
    // Sets every byte of the open buffer's pixel memory.
    void fill_bytes(uint8_t value);
    // The 256 logical palette colours as triples.
    Bytes palette_rgb() const;
    // The 256 lookup entries.
    std::vector<uint32_t> lookup() const;
    // Reads from a file written to the temporary directory.
    int32_t load_file(const Bytes& file, int32_t flags);
    // Reads from memory, through a block of exactly the file's size.
    int32_t load_memory(const Bytes& file, int32_t flags);

    PfDC dc_ = nullptr;
    PfPalette palette_ = nullptr;
    std::vector<int32_t> slots_;
    int blocks_at_start_ = 0;
};

}  // namespace pcxtest
