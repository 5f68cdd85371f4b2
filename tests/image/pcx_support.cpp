#include "pcx_support.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace pcxtest {

Bytes encode(const Bytes& raw) {
    Bytes out;
    for (size_t i = 0, n = 1; i < raw.size(); i += n, n = 1) {
        while (i + n < raw.size() && raw[i + n] == raw[i] && n < 63) ++n;
        if (n > 1 || raw[i] >= 0xC0) out.push_back(static_cast<uint8_t>(0xC0 | n));
        out.push_back(raw[i]);
    }
    return out;
}

Bytes pcx_file(const Header& h, const Bytes& data) {
    Bytes b(128 + data.size(), 0);
    std::copy(data.begin(), data.end(), b.begin() + 128);
    b[0] = 10;
    b[1] = h.version;
    b[2] = 1;
    b[3] = h.bits;
    const uint32_t fields[][2] = {
        {4, h.xmin}, {6, h.ymin}, {8, h.xmax}, {10, h.ymax}, {66, h.plane_bytes}};
    for (const auto& [at, v] : fields) {
        b[at] = static_cast<uint8_t>(v);
        b[at + 1] = static_cast<uint8_t>(v >> 8);
    }
    std::copy(h.palette.begin(), h.palette.end(), b.begin() + 16);
    b[65] = h.planes;
    return b;
}

void append_trailing(Bytes& file, const Bytes& colors768, uint8_t marker) {
    file.push_back(marker);
    file.insert(file.end(), colors768.begin(), colors768.begin() + 768);
}

// Unique across the test processes ctest runs side by side (each runs one
// test, so the test's name tells them apart) and within one (the counter).
std::string temp_path(const std::string& name) {
    static std::atomic<int> counter{0};
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string owner = test == nullptr ? "none"
                                        : std::string(test->test_suite_name()) + "." + test->name();
    std::replace(owner.begin(), owner.end(), '/', '_');
    return ::testing::TempDir() + "gx_image_" + owner + "_" + std::to_string(counter++) + "_" +
           name;
}

void write_file(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

Bytes read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void remove_released(const std::string& path) {
    std::error_code error;
    EXPECT_TRUE(std::filesystem::remove(path, error)) << path << " is held: " << error.message();
}

void LibraryTest::SetUp() {
    static const GraphicsState fresh{};
    gx_state = fresh;
    headless_reset();
    headless_set_screen(32, 1);
    blocks_at_start_ = headless_live_blocks();
    dc_ = headless_window_dc(64, 64);
    gx_set_dc(dc_);
    palette_ = gx_create_palette();
    gx_realize_palette(palette_);
    gx_initialize();
}

void LibraryTest::TearDown() {
    free_buffers();
    gx_shutdown();
    pf_delete_object(pf_as_object(palette_));
    pf_delete_dc(dc_);
    EXPECT_EQ(headless_live_blocks(), blocks_at_start_) << "memory blocks left behind";
    EXPECT_EQ(gx_state.pcx_file, nullptr);
}

void LibraryTest::open_buffer(int32_t depth, int32_t width, int32_t height) {
    free_buffers();
    gx_set_buffer_depth(depth);
    slot_ = gx_buffer_alloc(width, height);
    ASSERT_GE(slot_, 0);
    ASSERT_EQ(gx_buffer_open(slot_), 0);
    std::memset(gx_state.active_pixels, 0, static_cast<size_t>(gx_state.active_size));
    // Distinct colours everywhere, lookup and palette in step.
    Bytes rgb(768);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i * 97 + i / 3);
    gx_set_palette(0, 256, rgb.data());
}

void LibraryTest::free_buffers() {
    gx_buffer_close();
    if (slot_ >= 0) gx_buffer_free(slot_);
    slot_ = -1;
}

uint32_t LibraryTest::pixel(int32_t x, int32_t y) const {
    const GraphicsState& s = gx_state;
    const uint8_t* p = s.active_pixels +
                       static_cast<ptrdiff_t>(s.active_max_y - y) * s.active_pitch +
                       static_cast<ptrdiff_t>(x) * (s.active_depth / 8);
    uint32_t v = 0;
    for (int32_t k = s.active_depth / 8 - 1; k >= 0; --k) v = v << 8 | p[k];
    return v;
}

Outcome LibraryTest::now(int32_t result) const {
    Outcome o{result, {}, {}};
    for (const PfPaletteEntry& e : gx_state.logical_palette.entries)
        o.palette.insert(o.palette.end(), {e.red, e.green, e.blue});
    for (int32_t y = 0; y < gx_state.active_height; ++y)
        for (int32_t x = 0; x < gx_state.active_width; ++x) o.pixels.push_back(pixel(x, y));
    return o;
}

int32_t LibraryTest::load_file(const Bytes& file, int32_t flags) {
    const std::string path = temp_path("image.pcx");
    write_file(path, file);
    const int32_t result = gx_load_pcx(path.c_str(), flags);
    remove_released(path);
    return result;
}

int32_t LibraryTest::load_memory(const Bytes& file, int32_t flags) {
    std::vector<uint8_t> block(file);
    block.shrink_to_fit();
    gx_set_input(block.empty() ? nullptr : block.data(), static_cast<uint32_t>(block.size()));
    const int32_t result = gx_load_pcx(nullptr, flags | GX_PCX_FROM_MEMORY);
    gx_reset_input();
    return result;
}

namespace {

// 0x00RRGGBB as `LibraryTest::pixel` reads it at a depth of 16 to 32.
uint32_t pixel_of_rgb(uint32_t rgb, int32_t depth) {
    if (depth != 16) return rgb;
    return ((rgb >> 8) & 0xF800) | ((rgb >> 5) & 0x07E0) | ((rgb & 0xFF) >> 3);
}

}  // namespace

Reference reference_reduce(const Bytes& pixels, int first, int count, const Bytes& rgb) {
    Reference r;
    uint8_t map[256];
    for (int i = 0; i < 256; ++i) map[i] = static_cast<uint8_t>(i);
    for (uint8_t p : pixels) ++r.counts[p];
    for (auto used = std::count_if(r.counts, r.counts + 256, [](uint32_t c) { return c != 0; });
         used > count; --used) {
        uint64_t best = UINT64_MAX;
        int ki = -1, kj = -1;
        for (int i = 0; i < 256; ++i)
            for (int j = i + 1; j < 256; ++j) {
                if (r.counts[i] == 0 || r.counts[j] == 0) continue;
                uint64_t d = 0;
                for (int c = 0; c < 3; ++c) {
                    const int64_t e = rgb[3 * i + c] - rgb[3 * j + c];
                    d += static_cast<uint64_t>(e * e);
                }
                if (d < best || (d == best && r.counts[j] < std::min(r.counts[ki], r.counts[kj]))) {
                    best = d;
                    ki = i;
                    kj = j;
                }
            }
        const int victim = r.counts[kj] < r.counts[ki] ? kj : ki;
        const int keeper = victim == ki ? kj : ki;
        for (auto& m : map)
            if (m == victim) m = static_cast<uint8_t>(keeper);
        r.counts[keeper] += r.counts[victim];
        r.counts[victim] = 0;
    }
    Bytes compact = rgb;  // positions past the survivors keep their contents
    uint8_t dense[256] = {};
    for (int i = 0, k = 0; i < 256; ++i)
        if (r.counts[i] != 0) {
            dense[i] = static_cast<uint8_t>(k);
            std::memcpy(&compact[3 * k++], &rgb[3 * i], 3);
        }
    r.rgb = compact;
    if (first != 0) {
        r.rgb.assign(768, 0);
        std::memcpy(&r.rgb[3 * first], compact.data(), static_cast<size_t>(3 * count));
    }
    for (uint8_t p : pixels) r.pixels.push_back(static_cast<uint8_t>(dense[map[p]] + first));
    return r;
}

Outcome LibraryTest::modelled(const Bytes& f, int32_t flags, bool memory, bool stream) const {
    const GraphicsState& s = gx_state;
    const int32_t depth = s.active_depth;
    Outcome out = now(GX_PCX_NOT_PCX);
    if (f.size() < 128 || f[0] != 10) return out;
    auto r16 = [&f](size_t at) { return static_cast<int64_t>(f[at] | f[at + 1] << 8); };
    const int64_t width = r16(8) - r16(4) + 1, height = r16(10) - r16(6) + 1;
    out.result = GX_PCX_NO_CONVERTER;
    if (width < 1 || height < 1) return out;
    const bool at_position = (flags & GX_PCX_AT_POSITION) != 0;
    const int64_t px = at_position ? s.pos_x : r16(4), py = at_position ? s.pos_y : r16(6);
    const int64_t x0 = std::max<int64_t>(px, 0), y0 = std::max<int64_t>(py, 0);
    const int64_t columns = std::min<int64_t>(px + width, s.active_width) - x0;
    const int64_t rows = std::min<int64_t>(py + height, s.active_height) - y0;
    const int64_t first_column = x0 - px, skipped_rows = y0 - py;
    out.result = GX_PCX_OK;
    if (columns <= 0 || rows <= 0) return out;
    const uint32_t bits = f[3], planes = f[65], pb = static_cast<uint32_t>(r16(66));
    const bool bit_planes = bits == 1 && planes >= 1 && planes <= 4;
    const bool indexed = bits == 8 && planes == 1;
    const bool true_color = bits == 8 && (planes == 3 || planes == 4) && depth != 8;
    out.result = GX_PCX_NO_CONVERTER;
    if (!(bit_planes || indexed || true_color) || pb < (bit_planes ? (width + 7) / 8 : width))
        return out;

    // The palette stage: trailing colours of a version-5 file, else the
    // header's; deeper than 8 bits before the rows, at 8 after them, reduced.
    const bool load = (flags & GX_PCX_KEEP_PALETTE) == 0 && !true_color;
    const bool trailing = f[1] == 5 && f.size() >= (memory ? 128u + 769 : 769u) &&
                          f[f.size() - 769] == 12;
    Bytes colors(f.begin() + 16, f.begin() + 64);
    if (trailing) colors.assign(f.end() - 768, f.end());
    const size_t zero = trailing && depth == 8 ? 30 : 0;
    if (bits == 1 && planes == 1 &&
        std::equal(&colors[zero], &colors[zero + 3], &colors[zero + 3])) {
        std::fill_n(&colors[zero], 3, 0);
        std::fill_n(&colors[zero + 3], 3, 0xFF);
    }
    auto load_palette = [&] {
        const size_t from = depth == 8 && trailing ? 30 : 0, to = depth == 8 ? 30 : 0;
        const size_t count = trailing ? (depth == 8 ? 3 * 236 : 768) : 48;
        std::copy_n(&colors[from], count, &out.palette[to]);
    };
    if (load && depth != 8) load_palette();

    // The scan lines as one run-length stream; where it gives out, a line
    // keeps the line before's bytes.
    const uint64_t line = uint64_t{planes} * pb;
    const uint64_t needed = line * static_cast<uint64_t>(skipped_rows + rows);
    Bytes all;
    for (size_t i = 128; stream && i < f.size() && all.size() < needed;) {
        const uint8_t code = f[i++];
        if (code < 0xC0) {
            all.push_back(code);
        } else if (i < f.size()) {
            all.insert(all.end(), code & 0x3Fu, f[i++]);
        }
    }
    out.result = all.size() < needed ? GX_PCX_TRUNCATED : GX_PCX_OK;
    auto byte = [&](uint64_t row, uint64_t i) -> uint32_t {
        if (all.size() <= i) return 0;
        return all[std::min<uint64_t>(row, (all.size() - 1 - i) / line) * line + i];
    };
    for (int64_t y = 0; y < rows; ++y) {
        const auto row = static_cast<uint64_t>(skipped_rows + y);
        for (int64_t x = 0; x < columns; ++x) {
            const auto c = static_cast<uint64_t>(first_column + x);
            uint32_t n = 0;
            if (bit_planes) {
                for (uint32_t p = 0; p < planes; ++p)
                    n |= ((byte(row, p * pb + c / 8) >> (7 - c % 8)) & 1) << p;
            } else {
                n = byte(row, c);
            }
            uint32_t& got = out.pixels[static_cast<size_t>((y0 + y) * s.active_width + x0 + x)];
            if (true_color)
                got = pixel_of_rgb(n << 16 | byte(row, pb + c) << 8 | byte(row, 2 * pb + c), depth);
            else if (depth == 8)
                got = bit_planes ? 10 + n : n;
            else
                got = pixel_of_rgb(uint32_t{out.palette[3 * n]} << 16 |
                                       out.palette[3 * n + 1] << 8 | out.palette[3 * n + 2],
                                   depth);
        }
    }
    if (load && depth == 8) {
        if (trailing && (flags & GX_PCX_NO_REDUCE) == 0) {
            const Reference reduced = reference_reduce(Bytes(out.pixels.begin(), out.pixels.end()),
                                                       10, 236, colors);
            out.pixels.assign(reduced.pixels.begin(), reduced.pixels.end());
            colors = reduced.rgb;
        }
        load_palette();
    }
    return out;
}

}  // namespace pcxtest
