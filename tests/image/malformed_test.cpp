// Hostile files: truncated anywhere, wrong marker, absurd sizes, odd plane
// and bit counts, runs only, random data. Every read must stay inside the
// file or block and every write inside the visible part of the image; the
// sanitizer build runs the same cases.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>

#include "pcx_support.h"

namespace {

using namespace pcxtest;

constexpr uint8_t FILL = 0x5C;
constexpr int32_t BUFFER_WIDTH = 24;
constexpr int32_t BUFFER_HEIGHT = 12;

class Malformed : public LibraryTest {
protected:
    // The visible rectangle the reader may write, from the header and
    // position, clipped to the buffer (empty when width or height is 0).
    struct Rect {
        int64_t x0, y0, x1, y1;  // half-open
    };
    static Rect visible(const Bytes& file, int32_t flags) {
        if (file.size() < 128) return {0, 0, 0, 0};
        auto r16 = [&file](size_t at) {
            return static_cast<int64_t>(file[at] | file[at + 1] << 8);
        };
        const bool at_position = (flags & GX_PCX_AT_POSITION) != 0;
        const int64_t x = at_position ? gx_state.pos_x : r16(4);
        const int64_t y = at_position ? gx_state.pos_y : r16(6);
        const int64_t w = r16(8) - r16(4) + 1;
        const int64_t h = r16(10) - r16(6) + 1;
        Rect r{std::max<int64_t>(x, 0), std::max<int64_t>(y, 0),
               std::min<int64_t>(x + w, gx_state.active_width),
               std::min<int64_t>(y + h, gx_state.active_height)};
        if (r.x1 <= r.x0 || r.y1 <= r.y0) return {0, 0, 0, 0};
        return r;
    }

    // Reads `file` at every depth from a file and from an exact-size block,
    // checking the result code and that nothing outside the visible
    // rectangle changed. Depth 8 with the reduction may renumber the whole
    // buffer, so there the reduction is switched off.
    void read_everywhere(const Bytes& file, int32_t flags, const std::string& what,
                         bool file_mode = true) {
        std::string path;
        if (file_mode) {
            path = temp_path("hostile.pcx");
            write_file(path, file);
        }
        for (int32_t depth : {8, 16, 24, 32}) {
            for (bool memory : {false, true}) {
                if (!memory && !file_mode) continue;
                open_buffer(depth, BUFFER_WIDTH, BUFFER_HEIGHT);
                fill_bytes(FILL);
                const int32_t f = depth == 8 ? flags | GX_PCX_NO_REDUCE : flags;
                const int32_t result = memory ? load_memory(file, f) : gx_load_pcx(path.c_str(), f);
                ASSERT_TRUE(result >= 0 && result <= 5) << what << ": " << result;
                const bool drawn = result == GX_PCX_OK || result == GX_PCX_TRUNCATED;
                const Rect r = drawn ? visible(file, f) : Rect{0, 0, 0, 0};
                const uint32_t filled = 0x5C5C5C5Cu >> (32 - depth);
                for (int32_t y = 0; y < BUFFER_HEIGHT; ++y)
                    for (int32_t x = 0; x < BUFFER_WIDTH; ++x)
                        if (y < r.y0 || y >= r.y1 || x < r.x0 || x >= r.x1)
                            ASSERT_EQ(pixel(x, y), filled)
                                << what << ": pixel " << x << "," << y << " at depth " << depth
                                << (memory ? " from memory" : " from a file");
                free_buffers();
            }
        }
        if (file_mode) remove_released(path);
    }
};

Bytes colors768() {
    Bytes c(768);
    for (size_t i = 0; i < c.size(); ++i) c[i] = static_cast<uint8_t>(i * 7);
    return c;
}

// A header of `planes` planes of `bits` bits (256 colours by default).
Header header_of(uint32_t xmin, uint32_t ymin, uint32_t xmax, uint32_t ymax, uint32_t plane_bytes,
                 uint8_t planes = 1, uint8_t bits = 8) {
    Header h;
    h.bits = bits;
    h.xmin = xmin;
    h.ymin = ymin;
    h.xmax = xmax;
    h.ymax = ymax;
    h.plane_bytes = plane_bytes;
    h.planes = planes;
    return h;
}

// One valid file of each layout.
std::vector<std::pair<std::string, Bytes>> valid_files() {
    std::vector<std::pair<std::string, Bytes>> files;
    const Bytes colors = colors768();
    Bytes indices(13 * 7);
    for (size_t i = 0; i < indices.size(); ++i) indices[i] = static_cast<uint8_t>(i * i / 3);
    files.emplace_back("indexed", indexed_file(13, 7, indices, 14, 5, colors.data(), 0xF1));

    Bytes raw;
    for (int i = 0; i < 6 * 16; ++i) raw.push_back(static_cast<uint8_t>(i * 37));
    files.emplace_back("sixteen", pcx_file(header_of(0, 0, 18, 5, 4, 4, 1), encode(raw)));
    files.emplace_back("two", pcx_file(header_of(0, 0, 18, 5, 4, 1, 1), encode(raw)));
    files.emplace_back("true", pcx_file(header_of(0, 0, 3, 5, 4, 3), encode(raw)));
    // Long runs crossing lines, and the 0xC0 code.
    Bytes runs = {0xFF, 0x10, 0xC0, 0x20, 0xFE, 0x30, 0xC1, 0xC7, 0xFF, 0xEE};
    files.emplace_back("runs", pcx_file(header_of(0, 0, 9, 30, 10), runs));
    return files;
}

TEST_F(Malformed, TruncatedAnywhere) {
    for (const auto& [name, file] : valid_files()) {
        for (size_t size = 0; size <= file.size(); ++size) {
            const Bytes cut(file.begin(), file.begin() + static_cast<ptrdiff_t>(size));
            read_everywhere(cut, GX_PCX_AT_POSITION, name + " cut to " + std::to_string(size),
                            size % 7 == 0);
            if (HasFatalFailure()) return;
        }
    }
}

TEST_F(Malformed, WrongMarker) {
    Bytes file = valid_files()[0].second;
    for (int marker = 0; marker < 256; ++marker) {
        if (marker == 10) continue;
        file[0] = static_cast<uint8_t>(marker);
        open_buffer(8, 4, 4);
        EXPECT_EQ(load_memory(file, 0), 2) << marker;
        free_buffers();
    }
}

TEST_F(Malformed, AbsurdSizesAndPositions) {
    const struct {
        const char* what;
        Header h;
        Bytes data;
    } cases[] = {
        {"65536 pixels, 65535 bytes per line", header_of(0, 0, 65535, 65535, 65535), {0xFF, 0x01}},
        {"65535 pixels", header_of(0, 0, 65534, 65535, 65535), {0xFF, 0x01}},
        {"255 planes of 65535 bytes", header_of(0, 0, 65534, 65535, 65535, 255), {0xFF, 0x01, 0x02}},
        {"at 65535, 65535", header_of(65535, 65535, 65534, 65535, 65535, 255), {0xFF, 0x01}},
    };
    for (const auto& c : cases) read_everywhere(pcx_file(c.h, c.data), 0, c.what);
    const Bytes file = pcx_file(header_of(0, 0, 40, 30, 41), Bytes(3000, 0x42));
    const int32_t positions[][2] = {{INT32_MIN, INT32_MIN},
                                    {INT32_MAX, INT32_MAX},
                                    {-40, -30},
                                    {-39, -29},
                                    {INT32_MIN, 0},
                                    {0, INT32_MIN},
                                    {-10, 5},
                                    {BUFFER_WIDTH - 1, BUFFER_HEIGHT - 1},
                                    {INT32_MAX - 5, 3},
                                    {3, INT32_MAX - 5}};
    for (const auto& at : positions) {
        gx_move_to(at[0], at[1]);
        read_everywhere(file, GX_PCX_AT_POSITION,
                        "at " + std::to_string(at[0]) + "," + std::to_string(at[1]));
    }
}

TEST_F(Malformed, EveryPlaneAndBitCount) {
    const Bytes colors = colors768();
    for (uint8_t planes : {0, 1, 2, 3, 4, 5, 255}) {
        for (uint8_t bits : {0, 1, 2, 4, 8, 255}) {
            for (uint32_t plane_bytes : {0u, 1u, 3u, 20u}) {
                const Header h = header_of(0, 0, 17, 4, plane_bytes, planes, bits);
                Bytes data;
                for (int i = 0; i < 400; ++i) data.push_back(static_cast<uint8_t>(i * 13 + planes));
                Bytes file = pcx_file(h, data);
                append_trailing(file, colors.data());
                read_everywhere(file, GX_PCX_AT_POSITION,
                                "planes " + std::to_string(planes) + " bits " +
                                    std::to_string(bits) + " bpl " + std::to_string(plane_bytes),
                                plane_bytes == 3);
                if (HasFatalFailure()) return;
            }
        }
    }
}

TEST_F(Malformed, RunsOnly) {
    const struct {
        const char* what;
        uint32_t plane_bytes;
        Bytes data;
    } cases[] = {
        {"0xFF only", 31, Bytes(5000, 0xFF)},
        {"0xC0 only", 31, Bytes(5000, 0xC0)},
        {"one run code", 31, Bytes(1, 0xFF)},
        {"long lines of runs", 1000, Bytes(33, 0xFF)},
    };
    for (const auto& c : cases)
        read_everywhere(pcx_file(header_of(0, 0, 30, 20, c.plane_bytes), c.data),
                        GX_PCX_AT_POSITION, c.what);
}

TEST_F(Malformed, RandomHeadersAndData) {
    std::mt19937 rng(7);
    const Bytes colors = colors768();
    for (int trial = 0; trial < 300; ++trial) {
        Header h;
        h.version = static_cast<uint8_t>(rng() % 2 ? 5 : rng() % 256);
        const uint8_t plane_choices[] = {0, 1, 1, 1, 3, 3, 4, 4, 2, 5};
        h.planes = plane_choices[rng() % 10];
        const uint8_t bit_choices[] = {1, 8, 8, 1, 2, 4, 0};
        h.bits = bit_choices[rng() % 7];
        h.xmin = rng() % 4 == 0 ? rng() % 65536 : rng() % 8;
        h.ymin = rng() % 4 == 0 ? rng() % 65536 : rng() % 8;
        h.xmax = rng() % 4 == 0 ? rng() % 65536 : h.xmin + rng() % 40;
        h.ymax = rng() % 4 == 0 ? rng() % 65536 : h.ymin + rng() % 20;
        h.plane_bytes = rng() % 8 == 0 ? rng() % 65536 : rng() % 48;
        for (auto& c : h.palette) c = static_cast<uint8_t>(rng());
        Bytes data(rng() % 3000);
        for (auto& b : data) b = static_cast<uint8_t>(rng() % 3 == 0 ? 0xC0 | rng() : rng());
        Bytes file = pcx_file(h, data);
        if (rng() % 2)
            append_trailing(file, colors.data(), static_cast<uint8_t>(rng() % 3 ? 12 : rng()));
        gx_move_to(static_cast<int32_t>(rng() % 40) - 20, static_cast<int32_t>(rng() % 30) - 15);
        const int32_t flags = static_cast<int32_t>(rng() % 16) & ~GX_PCX_FROM_MEMORY;
        read_everywhere(file, flags, "trial " + std::to_string(trial), trial % 10 == 0);
        if (HasFatalFailure()) return;
        // At depth 8 with the reduction, which may renumber the whole buffer.
        open_buffer(8, BUFFER_WIDTH, BUFFER_HEIGHT);
        const int32_t result = load_memory(file, flags & ~GX_PCX_NO_REDUCE);
        EXPECT_TRUE(result >= 0 && result <= 5) << trial;
        free_buffers();
    }
}

TEST_F(Malformed, DescriptorSizesBeyondTheLibrarysInputArea) {
    // A file much longer than the input area, read in file mode through the
    // default area with an absurd chunk size: the area's end still bounds the reads.
    Header h = header_of(0, 0, 99, 99, 100);
    h.version = 3;
    Bytes raw(100 * 100);
    for (size_t i = 0; i < raw.size(); ++i) raw[i] = static_cast<uint8_t>(i % 191);
    const Bytes file = pcx_file(h, raw);
    ASSERT_GT(file.size(), 8192u);
    const std::string path = temp_path("long.pcx");
    write_file(path, file);
    open_buffer(16, 100, 100);
    std::memset(gx_state.scratch_area, 0xA7, sizeof gx_state.scratch_area);
    gx_set_input(gx_state.input_buffer, 0xFFFFFFFFu);
    EXPECT_EQ(gx_load_pcx(path.c_str(), GX_PCX_AT_POSITION), 0);
    EXPECT_LE(gx_state.pcx_transferred, 4096u);
    for (size_t i = 0; i < sizeof gx_state.scratch_area; ++i)
        ASSERT_EQ(gx_state.scratch_area[i], 0xA7) << i;
    EXPECT_EQ(pixel(99, 99), gx_state.color_lookup[raw[99 * 100 + 99]] & 0xFFFF);
    // The same in memory mode from the middle of the area.
    std::memcpy(gx_state.input_buffer + 1000, file.data(), 2000);
    gx_set_input(gx_state.input_buffer + 1000, 0xFFFFFFFFu);
    // The area ends before the image does.
    EXPECT_EQ(gx_load_pcx(nullptr, GX_PCX_AT_POSITION | GX_PCX_FROM_MEMORY), GX_PCX_TRUNCATED);
    gx_reset_input();
    remove_released(path);
}

}  // namespace
