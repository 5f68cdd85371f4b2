// The reader's fast paths (the block-wise run-length decoder and the vector
// row converters) against the plain code: at every level the processor
// supports, reading a file must leave exactly the bytes, palette and result
// that GX_SIMD_SCALAR leaves. The files are random in every way the decoder
// cares about: layouts and depths, widths and padded plane lines, literal
// and run mixes (runs of 0 to 63 bytes, runs across plane and line ends),
// files cut short anywhere, file and memory reading, placement and
// clipping.
#include <algorithm>
#include <array>
#include <cstring>
#include <random>
#include <sstream>
#include <string>

#include "gfx/simd.h"
#include "pcx_support.h"

namespace {

using namespace pcxtest;

std::vector<int32_t> fast_levels() {
    std::vector<int32_t> levels;
    for (int32_t level = GX_SIMD_SSE2; level <= gx_simd_supported(); ++level)
        levels.push_back(level);
    return levels;
}

int32_t uniform(std::mt19937& random, int32_t low, int32_t high) {
    return std::uniform_int_distribution<int32_t>(low, high)(random);
}

// Encodes a stream with a mix of token forms a writer may use: literals,
// runs of any length from 1 to 63 (also of bytes below 0xC0), runs split at
// random, and now and then an empty run (count 0).
Bytes encode_mixed(std::mt19937& random, const Bytes& raw) {
    Bytes out;
    for (size_t i = 0; i < raw.size();) {
        if (random() % 64 == 0) {
            out.push_back(0xC0);
            out.push_back(static_cast<uint8_t>(random()));
        }
        size_t run = 1;
        while (i + run < raw.size() && raw[i + run] == raw[i] && run < 63) ++run;
        if (run > 1 && random() % 4 == 0) run = 1 + random() % run;
        if (run == 1 && raw[i] < 0xC0 && random() % 8 != 0) {
            out.push_back(raw[i]);
        } else {
            out.push_back(static_cast<uint8_t>(0xC0 | run));
            out.push_back(raw[i]);
        }
        i += run;
    }
    return out;
}

// Raw image bytes in one of several styles: uniform noise (a quarter of the
// bytes 0xC0 or more), long runs of few values, or smooth values with
// short runs, as photographs give.
Bytes raw_bytes(std::mt19937& random, size_t size) {
    Bytes raw(size);
    const uint32_t style = random() % 3u;
    uint32_t value = random() & 0xFFu;
    for (size_t i = 0; i < size; ++i) {
        if (style == 0) {
            raw[i] = static_cast<uint8_t>(random());
        } else if (style == 1) {
            if (random() % 40 == 0) value = random() % 4u * 0x45u;
            raw[i] = static_cast<uint8_t>(value);
        } else {
            if (random() % 3 == 0) value += static_cast<uint32_t>(uniform(random, -6, 6));
            raw[i] = static_cast<uint8_t>(value);
        }
    }
    return raw;
}

class ReaderFastPaths : public LibraryTest {
protected:
    void TearDown() override {
        gx_simd_select(gx_simd_supported());
        LibraryTest::TearDown();
    }

    // Reads the file once at the reference level and once at each fast
    // level, from the same library state and buffer bytes.
    void same_at_every_level(const Bytes& file, int32_t flags, bool memory,
                             const std::string& what) {
        std::mt19937 random(static_cast<uint32_t>(file.size()));
        for (int32_t i = 0; i < gx_state.active_size; ++i)
            gx_state.active_pixels[i] = static_cast<uint8_t>(random());
        const Bytes start(gx_state.active_pixels, gx_state.active_pixels + gx_state.active_size);
        static GraphicsState state;  // large: kept out of the stack
        state = gx_state;
        const auto read = [&](int32_t level) {
            gx_state = state;
            std::memcpy(gx_state.active_pixels, start.data(), start.size());
            EXPECT_EQ(gx_simd_select(level), level);
            return memory ? load_memory(file, flags) : load_file(file, flags);
        };
        const int32_t want_result = read(GX_SIMD_SCALAR);
        const Bytes want(gx_state.active_pixels, gx_state.active_pixels + gx_state.active_size);
        const Bytes want_palette = palette_rgb();
        for (int32_t level : fast_levels()) {
            EXPECT_EQ(read(level), want_result) << what;
            const size_t at = static_cast<size_t>(
                std::mismatch(want.begin(), want.end(), gx_state.active_pixels).first -
                want.begin());
            ASSERT_EQ(at, want.size())
                << what << ": level " << level << ", byte " << at << " is "
                << int{gx_state.active_pixels[at]} << ", reference " << int{want[at]};
            EXPECT_EQ(palette_rgb(), want_palette) << what;
        }
    }
};

TEST_F(ReaderFastPaths, RandomFilesReadTheSameAtEveryLevel) {
    if (fast_levels().empty()) GTEST_SKIP() << "no vector level on this processor";
    std::mt19937 random(31337);
    for (int32_t trial = 0; trial < 600; ++trial) {
        // Layout: 256 colours, true colour, 16 colours or 2 colours.
        const uint32_t kind = random() % 8u;
        Header h;
        h.planes = kind < 3 ? 1 : kind < 6 ? 3 : kind == 6 ? 4 : 1;
        h.bits = kind == 7 ? 1 : kind == 6 ? 1 : 8;
        const auto width = static_cast<uint32_t>(uniform(random, 1, kind < 6 ? 300 : 100));
        const auto height = static_cast<uint32_t>(uniform(random, 1, 30));
        const uint32_t needed = h.bits == 1 ? (width + 7) / 8 : width;
        h.plane_bytes = needed +
                        static_cast<uint32_t>(random() % 3 == 0 ? uniform(random, 1, 5) : 0);
        h.xmax = width - 1;
        h.ymax = height - 1;
        h.version = random() % 4 == 0 ? 3 : 5;
        for (uint8_t& c : h.palette) c = static_cast<uint8_t>(random());
        Bytes file = pcx_file(
            h, encode_mixed(random, raw_bytes(random, static_cast<size_t>(h.plane_bytes) *
                                                          h.planes * height)));
        if (h.version == 5 && h.planes == 1 && h.bits == 8) {
            Bytes colors(768);
            for (uint8_t& c : colors) c = static_cast<uint8_t>(random());
            append_trailing(file, colors.data());
        }
        // Cut short now and then, anywhere after the header.
        if (random() % 4 == 0) file.resize(128 + random() % (file.size() - 127));

        const int32_t depth = std::array<int32_t, 4>{8, 16, 24, 32}[random() % 4];
        open_buffer(depth, uniform(random, 1, 120), uniform(random, 1, 40));
        int32_t flags = depth == 8 && random() % 2 == 0 ? GX_PCX_NO_REDUCE : 0;
        if (random() % 2 == 0) {
            flags |= GX_PCX_AT_POSITION;
            gx_move_to(uniform(random, -20, 60), uniform(random, -10, 20));
        }
        const bool memory = random() % 2 == 0;
        std::ostringstream what;
        what << "trial " << trial << ": planes " << int{h.planes} << ", bits " << int{h.bits}
             << ", " << width << "x" << height << ", plane bytes " << h.plane_bytes << ", depth "
             << depth << (memory ? ", memory" : ", file") << ", " << file.size() << " bytes";
        same_at_every_level(file, flags, memory, what.str());
        if (HasFatalFailure()) return;
        free_buffers();
    }
}

// Long lines through many input chunks (file mode reads 4096 bytes at a
// time): the decoder leaves its block-wise loop at every chunk's end and
// must resume exactly, also when a file ends right at a chunk's end.
TEST_F(ReaderFastPaths, LongLinesAcrossChunksReadTheSame) {
    if (fast_levels().empty()) GTEST_SKIP() << "no vector level on this processor";
    std::mt19937 random(4242);
    for (int32_t trial = 0; trial < 24; ++trial) {
        Header h;
        h.planes = trial % 2 == 0 ? 3 : 1;
        const uint32_t width = 700 + static_cast<uint32_t>(trial) * 37;
        h.plane_bytes = width;
        h.xmax = width - 1;
        h.ymax = 11;
        Bytes file = pcx_file(
            h, encode_mixed(random, raw_bytes(random, static_cast<size_t>(width) * h.planes * 12)));
        if (trial % 3 == 1) file.resize(128 + 4096 * (1 + random() % 2));  // ends at a chunk's end
        if (trial % 3 == 2) file.resize(128 + 4096 + 1 + random() % 4000);
        for (const int32_t depth : {16, 32}) {
            open_buffer(depth, 1000, 12);
            std::ostringstream what;
            what << "trial " << trial << ", depth " << depth << ", " << file.size() << " bytes";
            same_at_every_level(file, 0, trial % 4 == 0, what.str());
            if (HasFatalFailure()) return;
            free_buffers();
        }
    }
}

// A line cut short by the end of the input keeps, past its last decoded
// byte, what the line buffer held from the line before. The first line is
// 0x11 throughout (60 literals and a run of 40); the second gets 40 literals
// before the input ends, more than a block of the fast decoder, whose
// stores reach past them.
TEST_F(ReaderFastPaths, CutLineKeepsThePreviousLine) {
    Header h;
    h.version = 3;
    h.plane_bytes = 100;
    h.xmax = 99;
    h.ymax = 1;
    Bytes data(60, 0x11);
    data.push_back(0xC0 | 40);
    data.push_back(0x11);
    for (int i = 0; i < 40; ++i) data.push_back(static_cast<uint8_t>(0x40 + i));
    const Bytes file = pcx_file(h, data);
    for (const int32_t level : {GX_SIMD_SCALAR, gx_simd_supported()}) {
        gx_simd_select(level);
        for (const bool memory : {true, false}) {
            open_buffer(8, 100, 2);
            ASSERT_EQ(
                memory ? load_memory(file, GX_PCX_NO_REDUCE) : load_file(file, GX_PCX_NO_REDUCE),
                GX_PCX_TRUNCATED);
            for (int32_t x = 0; x < 100; ++x) {
                ASSERT_EQ(pixel(x, 0), 0x11u) << level << " " << x;
                ASSERT_EQ(pixel(x, 1), x < 40 ? 0x40u + static_cast<uint32_t>(x) : 0x11u)
                    << level << " " << x;
            }
            free_buffers();
        }
    }
}

}  // namespace
