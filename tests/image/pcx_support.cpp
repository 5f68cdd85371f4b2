#include "pcx_support.h"

#include <dirent.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace pcxtest {

Bytes header_bytes(const Header& h) {
    Bytes b(128, 0);
    b[0] = h.manufacturer;
    b[1] = h.version;
    b[2] = h.encoding;
    b[3] = h.bits;
    auto put16 = [&b](size_t at, uint32_t v) {
        b[at] = static_cast<uint8_t>(v);
        b[at + 1] = static_cast<uint8_t>(v >> 8);
    };
    put16(4, h.xmin);
    put16(6, h.ymin);
    put16(8, h.xmax);
    put16(10, h.ymax);
    std::memcpy(&b[16], h.palette, 48);
    b[65] = h.planes;
    put16(66, h.plane_bytes);
    return b;
}

Bytes encode(const Bytes& raw) {
    Bytes out;
    size_t i = 0;
    while (i < raw.size()) {
        size_t n = 1;
        while (i + n < raw.size() && raw[i + n] == raw[i] && n < 63) ++n;
        if (n == 1 && raw[i] < 0xC0) {
            out.push_back(raw[i]);
        } else {
            out.push_back(static_cast<uint8_t>(0xC0 | n));
            out.push_back(raw[i]);
        }
        i += n;
    }
    return out;
}

Bytes pcx_file(const Header& header, const Bytes& data) {
    Bytes file = header_bytes(header);
    file.insert(file.end(), data.begin(), data.end());
    return file;
}

void append_trailing(Bytes& file, const uint8_t* colors768, uint8_t marker) {
    file.push_back(marker);
    file.insert(file.end(), colors768, colors768 + 768);
}

Bytes lines_file(Header header, uint32_t w, uint32_t h,
                 const std::function<Bytes(uint32_t)>& line) {
    header.xmax = w - 1;
    header.ymax = h - 1;
    Bytes data;
    for (uint32_t y = 0; y < h; ++y) {
        const Bytes encoded = encode(line(y));
        data.insert(data.end(), encoded.begin(), encoded.end());
    }
    return pcx_file(header, data);
}

Bytes indexed_file(uint32_t w, uint32_t h, const Bytes& indices, uint32_t plane_bytes,
                   uint8_t version, const uint8_t* trailing768, uint8_t pad) {
    Header header;
    header.version = version;
    header.plane_bytes = plane_bytes;
    Bytes file = lines_file(header, w, h, [&](uint32_t y) {
        Bytes line(indices.begin() + y * w, indices.begin() + (y + 1) * w);
        line.resize(plane_bytes, pad);
        return line;
    });
    if (trailing768 != nullptr) append_trailing(file, trailing768);
    return file;
}

std::string temp_path(const std::string& name) {
    static std::atomic<int> counter{0};
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string test = info != nullptr ? std::string(info->test_suite_name()) + "." + info->name()
                                       : std::string("none");
    for (char& c : test)
        if (c == '/') c = '_';
    return ::testing::TempDir() + "gx_image_" + test + "_" + std::to_string(counter++) + "_" + name;
}

void write_file(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

Bytes read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

int open_descriptors() {
    if (std::filesystem::path::preferred_separator != '/') return -1;
    DIR* dir = opendir("/proc/self/fd");
    if (dir == nullptr) return -1;
    int n = 0;
    while (readdir(dir) != nullptr) ++n;
    closedir(dir);
    return n;
}

void remove_released(const std::string& path) {
    std::error_code error;
    EXPECT_TRUE(std::filesystem::remove(path, error))
        << path << " is still held: " << error.message();
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

int32_t LibraryTest::open_buffer(int32_t depth, int32_t width, int32_t height) {
    gx_set_buffer_depth(depth);
    const int32_t slot = gx_buffer_alloc(width, height);
    EXPECT_GE(slot, 0);
    slots_.push_back(slot);
    EXPECT_EQ(gx_buffer_open(slot), 0);
    fill_bytes(0);
    return slot;
}

void LibraryTest::free_buffers() {
    gx_buffer_close();
    for (int32_t slot : slots_) gx_buffer_free(slot);
    slots_.clear();
}

uint32_t LibraryTest::pixel(int32_t x, int32_t y) const {
    const GraphicsState& s = gx_state;
    const int32_t bpp = s.active_depth / 8;
    const uint8_t* p = s.active_pixels +
                       static_cast<ptrdiff_t>(s.active_max_y - y) * s.active_pitch +
                       static_cast<ptrdiff_t>(x) * bpp;
    switch (s.active_depth) {
        case 8: return p[0];
        case 16: return static_cast<uint32_t>(p[0] | (p[1] << 8));
        case 24: return static_cast<uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16));
        default:
            return static_cast<uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16)) |
                   (static_cast<uint32_t>(p[3]) << 24);
    }
}

std::vector<uint32_t> LibraryTest::area(int32_t x, int32_t y, int32_t w, int32_t h) const {
    std::vector<uint32_t> out;
    for (int32_t row = y; row < y + h; ++row)
        for (int32_t column = x; column < x + w; ++column) out.push_back(pixel(column, row));
    return out;
}

void LibraryTest::fill_bytes(uint8_t value) {
    std::memset(gx_state.active_pixels, value, static_cast<size_t>(gx_state.active_size));
}

Bytes LibraryTest::palette_rgb() const {
    Bytes rgb;
    for (const PfPaletteEntry& e : gx_state.logical_palette.entries) {
        rgb.push_back(e.red);
        rgb.push_back(e.green);
        rgb.push_back(e.blue);
    }
    return rgb;
}

std::vector<uint32_t> LibraryTest::lookup() const {
    return std::vector<uint32_t>(gx_state.color_lookup, gx_state.color_lookup + 256);
}

int32_t LibraryTest::load_file(const Bytes& file, int32_t flags) {
    const std::string path = temp_path("image.pcx");
    write_file(path, file);
    const int32_t result = gx_load_pcx(path.c_str(), flags);
    remove_released(path);
    return result;
}

int32_t LibraryTest::load_memory(const Bytes& file, int32_t flags) {
    // A block of exactly the file's size, so that the sanitizer sees any
    // read past its end.
    std::vector<uint8_t> block(file);
    block.shrink_to_fit();
    gx_set_input(block.empty() ? nullptr : block.data(), static_cast<uint32_t>(block.size()));
    const int32_t result = gx_load_pcx(nullptr, flags | GX_PCX_FROM_MEMORY);
    gx_reset_input();
    return result;
}

}  // namespace pcxtest
