// The PCX reader against the model of pcx_support at every vector level:
// chosen and hostile files (hand-made streams, cut anywhere, absurd sizes and
// positions, every plane and bit count, runs only) and random ones; then the
// failure paths the model leaves out.
#include <algorithm>
#include <cstring>
#include <random>

#include "gfx/simd.h"
#include "pcx_support.h"

namespace {

using namespace pcxtest;

uint32_t uniform(std::mt19937& random, uint32_t low, uint32_t high) {
    return low + random() % (high - low + 1);
}

Bytes ramp(size_t size, uint32_t step) {
    Bytes b(size);
    for (size_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>(i * step + i / 5);
    return b;
}

// Token forms a writer may use: literals, runs of 1 to 63 (also of bytes
// below 0xC0), runs split at random, now and then an empty run (code 0xC0).
Bytes encode_mixed(std::mt19937& random, const Bytes& raw) {
    Bytes out;
    for (size_t i = 0, run = 1; i < raw.size(); i += run, run = 1) {
        if (random() % 64 == 0) out.insert(out.end(), {0xC0, static_cast<uint8_t>(random())});
        while (i + run < raw.size() && raw[i + run] == raw[i] && run < 63) ++run;
        if (run > 1 && random() % 4 == 0) run = 1 + random() % run;
        if (run > 1 || raw[i] >= 0xC0 || random() % 8 == 0)
            out.push_back(static_cast<uint8_t>(0xC0 | run));
        out.push_back(raw[i]);
    }
    return out;
}

// Noise (a quarter of it 0xC0 or more), long runs of few values, or smooth
// values with short runs.
Bytes raw_bytes(std::mt19937& random, size_t size) {
    Bytes raw(size);
    const uint32_t style = random() % 3;
    uint32_t value = random() & 0xFF;
    for (uint8_t& b : raw) {
        if (style == 1 && random() % 40 == 0) value = random() % 4 * 0x45;
        if (style == 2 && random() % 3 == 0) value += uniform(random, 0, 12) - 6;
        b = static_cast<uint8_t>(style == 0 ? random() : value);
    }
    return raw;
}

struct Read {
    Bytes file;
    int32_t depth = 8, width = 24, height = 12, flags = 0, x = 0, y = 0;
    bool memory = true;
    int64_t chunk = -1;  // file mode: -1 the library's area, 0 no usable chunk, else own chunk
};

// Any layout (some with no converter), size, padding, version, trailing
// palette and run mix, sometimes a hostile header or a cut, at any depth,
// place, flags (unused bits too) and input.
Read random_read(std::mt19937& random) {
    static const uint8_t layouts[][2] = {{1, 8}, {1, 8}, {1, 8}, {3, 8}, {3, 8},   {4, 8},
                                         {4, 1}, {1, 1}, {2, 1}, {3, 1}, {1, 2},   {1, 4},
                                         {5, 1}, {0, 8}, {2, 8}, {5, 8}, {255, 1}, {0, 1}};
    const auto& layout = layouts[random() % (random() % 4 == 0 ? 18 : 10)];
    Header h = Header{0, 0, 0, layout[0], layout[1]};
    // Now and then lines longer than the library's 4096-byte chunks.
    const uint32_t width = uniform(random, 1, random() % 16 == 0 ? 1500 : 300);
    const uint32_t height = uniform(random, 1, 30);
    const uint32_t needed = h.bits == 1 ? (width + 7) / 8 : width;
    h.plane_bytes = needed + (random() % 3 == 0 ? uniform(random, 1, 5) : 0) -
                    (random() % 20 == 0 ? 1 : 0);
    h.xmin = random() % 4 == 0 ? uniform(random, 0, 10) : 0;
    h.ymin = random() % 4 == 0 ? uniform(random, 0, 10) : 0;
    h.xmax = h.xmin + width - 1;
    h.ymax = h.ymin + height - 1;
    h.version = random() % 4 == 0 ? 3 : 5;
    for (uint8_t& c : h.palette) c = static_cast<uint8_t>(random() % 3 == 0 ? 0x40 : random());
    const Bytes data = encode_mixed(random,
                                    raw_bytes(random, size_t{h.plane_bytes} * h.planes * height));
    uint32_t* fields[] = {&h.xmin, &h.ymin, &h.xmax, &h.ymax, &h.plane_bytes};
    if (random() % 8 == 0) *fields[random() % 5] = random() % 65536;
    Read r;
    r.file = pcx_file(h, data);
    if (random() % 3 != 0) append_trailing(r.file, ramp(768, random()), random() % 8 ? 12 : 11);
    if (random() % 4 == 0) r.file.resize(128 + random() % (r.file.size() - 127));
    r.depth = 8 * static_cast<int32_t>(1 + random() % 4);
    r.width = static_cast<int32_t>(uniform(random, 1, 120));
    r.height = static_cast<int32_t>(uniform(random, 1, 40));
    r.flags = (random() % 6 == 0 ? GX_PCX_KEEP_PALETTE : 0) |
              (random() % 2 ? GX_PCX_NO_REDUCE : 0) | (random() % 8 == 0 ? 0x7FF0 : 0);
    if (random() % 2 == 0) {
        r.flags |= GX_PCX_AT_POSITION;
        r.x = static_cast<int32_t>(uniform(random, 0, 80)) - 20;
        r.y = static_cast<int32_t>(uniform(random, 0, 30)) - 10;
    }
    r.memory = random() % 2 == 0;
    const int64_t chunks[] = {0, 1, 2, 3, 7, 64, 129, 4096, 100000, 0};
    r.chunk = random() % 2 == 0 ? -1 : chunks[random() % 10];
    return r;
}

std::vector<Read> chosen_reads() {
    std::vector<Read> reads;
    // At every depth into a 24 x 12 buffer, from memory and (some) from a file.
    auto add = [&reads](const Bytes& file, int32_t x = 0, int32_t y = 0, bool from_file = true) {
        for (int32_t depth : {8, 16, 24, 32})
            for (bool memory : {true, false})
                if (memory || from_file)
                    reads.push_back({file, depth, 24, 12, GX_PCX_AT_POSITION, x, y, memory});
    };
    // A line cut after more literals than a fast block: the rest shows the line before.
    Bytes data(102, 0x11);  // 60 literals, a run of 40, 40 literals
    data[60] = 0xC0 | 40;
    for (uint8_t i = 0; i < 40; ++i) data[62 + i] = 0x40 + i;
    for (bool memory : {false, true})
        reads.push_back(
            {pcx_file(Header{99, 1, 100}, data), 8, 100, 2, GX_PCX_NO_REDUCE, 0, 0, memory});
    // Memory blocks one byte short of and just long enough for a trailing palette.
    for (size_t tail : {768u, 769u}) {
        Bytes file = pcx_file(Header{1, 0, 2}, {12, 0xAA, 0xAA, 0xAA});
        file.resize(128 + tail, 1);
        add(file);
    }
    add(pcx_file(Header{1, 0, 2, 3}, {0xC3, 0x10, 0x20, 0xC2, 0x30}));  // runs across planes
    Bytes indexed = pcx_file(Header{12, 6, 14}, encode(ramp(14 * 7, 41)));
    append_trailing(indexed, ramp(768, 7));
    for (const Bytes& file : {indexed, pcx_file(Header{18, 5, 4, 4, 1}, encode(ramp(96, 37))),
                              pcx_file(Header{18, 5, 4, 1, 1}, encode(ramp(24, 37))),
                              pcx_file(Header{3, 5, 4, 3}, encode(ramp(72, 37))),
                              pcx_file(Header{9, 30, 10}, {0xFF, 0x10, 0xC0, 0x20, 0xFE, 0x30, 0xC1,
                                                           0xC7, 0xFF, 0xEE})})
        for (size_t size = 0; size <= file.size(); ++size)
            add(Bytes(file.begin(), file.begin() + static_cast<ptrdiff_t>(size)), 0, 0,
                size % 7 == 0);
    Header far = Header{65534, 65535, 65535, 255};
    far.xmin = far.ymin = 65535;
    for (const Header& h : {Header{65535, 65535, 65535}, Header{65534, 65535, 65535},
                            Header{65534, 65535, 65535, 255}, far})
        add(pcx_file(h, {0xFF, 0x01, 0x02}));
    const int32_t places[][2] = {
        {INT32_MIN, INT32_MIN}, {INT32_MAX, INT32_MAX}, {-40, -30}, {-39, -29},
        {INT32_MIN, 0},         {0, INT32_MIN},         {-10, 5},   {23, 11},
        {INT32_MAX - 5, 3},     {3, INT32_MAX - 5}};
    for (const auto& [x, y] : places) add(pcx_file(Header{40, 30, 41}, ramp(3000, 3)), x, y);
    for (uint8_t planes : {0, 1, 2, 3, 4, 5, 255})
        for (uint8_t bits : {0, 1, 2, 4, 8, 255})
            for (uint32_t plane_bytes : {0u, 1u, 3u, 20u}) {
                Bytes file = pcx_file(Header{17, 4, plane_bytes, planes, bits}, ramp(400, 13));
                append_trailing(file, ramp(768, 5));
                add(file, 0, 0, plane_bytes == 3);
            }
    for (const Bytes& run : {Bytes(5000, 0xFF), Bytes(5000, 0xC0), Bytes(1, 0xFF)})
        add(pcx_file(Header{30, 20, 31}, run));  // runs only
    add(pcx_file(Header{30, 20, 1000}, Bytes(33, 0xFF)));
    // Hand-made streams: code 0xC0 storing nothing; a run past a line's end
    // and over a whole line; a padding byte in a run; ends after a run code,
    // at once, and early (later lines keep the line before).
    const std::pair<Header, Bytes> streams[] = {{{3, 0, 4}, {1, 0xC0, 0x77, 2, 3, 4}},
                                                {{3, 2, 4}, {1, 2, 3, 0xC6, 9, 4, 5, 6, 7}},
                                                {{2, 1, 4}, {1, 2, 0xC2, 3, 4, 5, 6, 7}},
                                                {{3, 1, 4}, {9, 0xC3}},
                                                {{3, 0, 4}, {}},
                                                {{3, 3, 4}, {1, 2, 3, 4, 5, 6}}};
    for (const auto& [h, data] : streams) add(pcx_file(h, data));
    const Bytes small = pcx_file(Header{3, 1, 4}, Bytes(8, 3));
    for (int marker = 0; marker < 256; marker += marker == 9 ? 2 : 1) {
        reads.push_back({small, 16, 8, 4, 0, 0, 0, true});
        reads.back().file[0] = static_cast<uint8_t>(marker);
    }
    return reads;
}

class PcxReader : public LibraryTest {
protected:
    void TearDown() override {
        gx_simd_select(gx_simd_supported());
        LibraryTest::TearDown();
    }

    // Reads as `r` says into a buffer of random bytes and compares the
    // whole outcome with the model; the input descriptor must be back.
    void read_as_modelled(const Read& r, uint32_t seed, const std::string& what) {
        open_buffer(r.depth, r.width, r.height);
        std::mt19937 random(seed);
        for (int32_t i = 0; i < gx_state.active_size; ++i)
            gx_state.active_pixels[i] = static_cast<uint8_t>(random());
        gx_move_to(r.x, r.y);
        const Outcome want = modelled(r.file, r.flags, r.memory, r.memory || r.chunk != 0);
        int32_t result = 0;
        if (r.memory) {
            result = load_memory(r.file, r.flags);
        } else {
            std::vector<uint8_t> chunk(static_cast<size_t>(std::max<int64_t>(r.chunk, 1)));
            uint8_t* area = r.chunk < 0 ? gx_state.input_buffer : chunk.data();
            uint32_t size = r.chunk < 0 ? GX_INPUT_BUFFER_SIZE : uint32_t(r.chunk);
            if (r.chunk == 0 && seed % 2 != 0) {  // a null chunk of any size
                area = nullptr;
                size = GX_INPUT_BUFFER_SIZE;
            }
            gx_set_input(area, size);
            result = load_file(r.file, r.flags);
            EXPECT_EQ(gx_state.input_ptr, area) << what;
            EXPECT_EQ(gx_state.input_size, size) << what;
            gx_reset_input();
        }
        const Outcome got = now(result);
        EXPECT_EQ(got.result, want.result) << what;
        const auto at = std::mismatch(want.pixels.begin(), want.pixels.end(), got.pixels.begin());
        EXPECT_TRUE(at.first == want.pixels.end())
            << what << ": pixel " << at.first - want.pixels.begin() << " is " << std::hex
            << *at.second << ", not " << *at.first;
        EXPECT_EQ(got.palette, want.palette) << what;
    }
};

TEST_F(PcxReader, FilesReadAsModelledAtEveryLevel) {
    std::vector<Read> reads = chosen_reads();
    std::mt19937 random(31337);
    for (int i = 0; i < 1000; ++i) reads.push_back(random_read(random));
    for (int32_t level = GX_SIMD_SCALAR; level <= gx_simd_supported(); ++level) {
        ASSERT_EQ(gx_simd_select(level), level);
        for (size_t i = 0; i < reads.size(); ++i) {
            read_as_modelled(reads[i], static_cast<uint32_t>(i),
                             "read " + std::to_string(i) + " at level " + std::to_string(level));
            if (HasFailure()) return;
        }
    }
}

// The failures the model leaves out: no buffer, no line buffer, no name,
// no file, no block. The result, and the buffer, palette and header area as
// they were (the fixture checks that no file stays open).
TEST_F(PcxReader, FailuresChangeNothing) {
    const Bytes file = pcx_file(Header{3, 1, 4}, Bytes(8, 3));
    enum Setup { NO_BUFFER, NO_MEMORY, NULL_NAME, NO_FILE, NULL_BLOCK };
    const struct {
        Setup setup;
        bool memory;
        int32_t result;
    } cases[] = {{NO_BUFFER, false, 0}, {NO_BUFFER, true, 0},  {NO_MEMORY, false, 4},
                 {NO_MEMORY, true, 4},  {NULL_NAME, false, 1}, {NO_FILE, false, 1},
                 {NULL_BLOCK, true, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.setup));
        open_buffer(16, 8, 4);
        std::memset(gx_state.active_pixels, 0xAA, static_cast<size_t>(gx_state.active_size));
        const Outcome before = now(c.result);
        if (c.setup == NO_BUFFER) free_buffers();
        std::memset(gx_state.pcx_header, 0xEE, sizeof gx_state.pcx_header);
        gx_state.pcx_transferred = 12345;
        headless_fail_allocations(0, c.setup == NO_MEMORY ? 1 : 0);
        uint8_t block[4] = {};
        int32_t result = 0;
        if (c.setup == NULL_NAME || c.setup == NO_FILE || c.setup == NULL_BLOCK) {
            uint8_t* const area = c.setup == NULL_BLOCK ? nullptr : block;
            gx_set_input(area, 4);
            result = gx_load_pcx(c.setup == NO_FILE ? "/nonexistent/image.pcx" : nullptr,
                                 c.memory ? GX_PCX_FROM_MEMORY : 0);
            EXPECT_EQ(gx_state.input_ptr, area);
            gx_reset_input();
        } else {
            result = c.memory ? load_memory(file, 0) : load_file(file, 0);
        }
        headless_fail_allocations(0, 0);
        EXPECT_EQ(result, c.result);
        if (c.setup == NO_BUFFER) {
            EXPECT_EQ(gx_state.pcx_transferred, 12345u);
            EXPECT_EQ(Bytes(gx_state.pcx_header, gx_state.pcx_header + 128), Bytes(128, 0xEE));
            continue;
        }
        EXPECT_TRUE(now(result) == before);
    }
    EXPECT_EQ(gx_set_input(nullptr, 0), 0);
    gx_reset_input();
}

// A descriptor naming more than the library's input area: the area's end
// still bounds what is read, in file mode (chunks) and in memory mode.
TEST_F(PcxReader, DescriptorSizesBeyondTheLibrarysInputArea) {
    Bytes literals(100 * 100);
    for (size_t i = 0; i < literals.size(); ++i) literals[i] = static_cast<uint8_t>(i % 191);
    const Bytes file = pcx_file(Header{99, 99, 100, 1, 8, 0, 0, 3}, literals);
    open_buffer(16, 100, 100);
    const Outcome want = modelled(file, 0, false);
    std::memset(gx_state.scratch_area, 0xA7, sizeof gx_state.scratch_area);
    gx_set_input(gx_state.input_buffer, 0xFFFFFFFFu);
    EXPECT_TRUE(now(load_file(file, 0)) == want);
    EXPECT_LE(gx_state.pcx_transferred, 4096u);
    EXPECT_EQ(size_t(std::count(gx_state.scratch_area, std::end(gx_state.scratch_area), 0xA7)),
              std::size(gx_state.scratch_area));
    std::memcpy(gx_state.input_buffer + 1000, file.data(), 2000);
    gx_set_input(gx_state.input_buffer + 1000, 0xFFFFFFFFu);
    EXPECT_EQ(gx_load_pcx(nullptr, GX_PCX_FROM_MEMORY), GX_PCX_TRUNCATED);
    gx_reset_input();
}

}  // namespace
