// Speed of the PCX reader: 2048 x 2048 images of 256 colours and of true
// colour, photo-like (run-length coding gains little), decoded into 16- and
// 32-bit buffers from memory and from a file. Items are pixels, so items per
// second are pixels per second.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "gfx/gfx.h"
#include "platform/headless/headless.h"

namespace {

constexpr int32_t kSide = 2048;

struct Image {
    std::string path;
    std::vector<uint8_t> bytes;
    std::string source;  // how it was made
};

std::vector<uint8_t> read_all(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Plain run-length coding of one scan line.
void encode(const uint8_t* raw, size_t n, std::vector<uint8_t>& out) {
    for (size_t i = 0; i < n;) {
        size_t run = 1;
        while (i + run < n && raw[i + run] == raw[i] && run < 63) ++run;
        if (run == 1 && raw[i] < 0xC0) {
            out.push_back(raw[i]);
        } else {
            out.push_back(static_cast<uint8_t>(0xC0 | run));
            out.push_back(raw[i]);
        }
        i += run;
    }
}

// Noisy content made here when ImageMagick is not at hand: smooth waves
// plus noise, so neighbours are alike but rarely equal.
std::vector<uint8_t> generated(bool true_color) {
    const uint32_t planes = true_color ? 3 : 1;
    std::vector<uint8_t> file(128, 0);
    file[0] = 10;
    file[1] = 5;
    file[2] = 1;
    file[3] = 8;
    file[8] = (kSide - 1) & 0xFF;
    file[9] = (kSide - 1) >> 8;
    file[10] = (kSide - 1) & 0xFF;
    file[11] = (kSide - 1) >> 8;
    file[65] = static_cast<uint8_t>(planes);
    file[66] = kSide & 0xFF;
    file[67] = kSide >> 8;
    uint32_t seed = 7;
    std::vector<uint8_t> line(static_cast<size_t>(kSide) * planes);
    for (int32_t y = 0; y < kSide; ++y) {
        for (uint32_t p = 0; p < planes; ++p)
            for (int32_t x = 0; x < kSide; ++x) {
                seed = seed * 1664525u + 1013904223u;
                const int32_t wave = ((x * (3 + static_cast<int32_t>(p)) + y * 5) >> 4) + ((x ^ y) >> 6);
                line[p * kSide + static_cast<uint32_t>(x)] = static_cast<uint8_t>(wave + static_cast<int32_t>(seed >> 29));
            }
        encode(line.data(), line.size(), file);
    }
    if (!true_color) {
        file.push_back(12);
        for (int i = 0; i < 768; ++i) file.push_back(static_cast<uint8_t>(i * 13));
    }
    return file;
}

// The images as the peer measurements make them (ImageMagick's plasma
// fractal with seed 7), kept in the temporary folder between runs; made
// in-process when ImageMagick is missing.
const Image& image(bool true_color) {
    static Image images[2];
    Image& img = images[true_color ? 1 : 0];
    if (!img.bytes.empty()) return img;
    const char* tmp = std::getenv("TMPDIR");
    const std::string dir = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/gx-bench-pcx";
    std::system(("mkdir -p '" + dir + "'").c_str());
    img.path = dir + (true_color ? "/plasma-2048-24bit.pcx" : "/plasma-2048-8bit.pcx");
    img.bytes = read_all(img.path);
    img.source = "plasma";
    if (img.bytes.size() < 128) {
        const std::string part = img.path + "." + std::to_string(getpid());
        const std::string cmd = "convert -seed 7 -size 2048x2048 plasma:fractal " +
                                std::string(true_color ? "-type TrueColor" : "-colors 256 -type Palette") +
                                " 'PCX:" + part + "' >/dev/null 2>&1 && mv '" + part + "' '" + img.path + "'";
        if (std::system(cmd.c_str()) == 0) img.bytes = read_all(img.path);
    }
    if (img.bytes.size() < 128) {
        img.source = "generated";
        img.bytes = generated(true_color);
        img.path = dir + (true_color ? "/generated-24bit.pcx" : "/generated-8bit.pcx");
        std::ofstream(img.path, std::ios::binary)
            .write(reinterpret_cast<const char*>(img.bytes.data()), static_cast<std::streamsize>(img.bytes.size()));
    }
    return img;
}

struct Library {
    PfDC window;
    PfPalette palette;
    explicit Library(int32_t depth) {
        headless_reset();
        gx_state = GraphicsState{};
        window = headless_window_dc(16, 16);
        gx_set_dc(window);
        palette = gx_create_palette();
        gx_realize_palette(palette);
        gx_initialize();
        gx_set_buffer_depth(depth);
        gx_buffer_open(gx_buffer_alloc(kSide, kSide));
    }
    ~Library() {
        gx_buffer_close();
        gx_buffer_free(0);
        gx_shutdown();
        pf_delete_object(pf_as_object(palette));
        pf_delete_dc(window);
    }
};

// Arguments: buffer depth, true colour (0/1), from memory (0/1).
void BM_PcxDecode(benchmark::State& state) {
    const auto depth = static_cast<int32_t>(state.range(0));
    const bool true_color = state.range(1) != 0;
    const bool memory = state.range(2) != 0;
    const Image& img = image(true_color);
    Library library(depth);
    int32_t result = 0;
    for (auto _ : state) {
        if (memory) {
            gx_set_input(img.bytes.data(), static_cast<uint32_t>(img.bytes.size()));
            result |= gx_load_pcx(nullptr, GX_PCX_AT_POSITION | GX_PCX_FROM_MEMORY);
            gx_reset_input();
        } else {
            result |= gx_load_pcx(img.path.c_str(), GX_PCX_AT_POSITION);
        }
        benchmark::DoNotOptimize(gx_state.active_pixels[0]);
    }
    if (result != 0) state.SkipWithError("the reader failed");
    const double pixels = static_cast<double>(kSide) * kSide;
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kSide * kSide);
    state.counters["Mpixel/s"] =
        benchmark::Counter(pixels * static_cast<double>(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
    state.SetLabel(std::string(true_color ? "true colour" : "256 colours") + (memory ? ", memory" : ", file") +
                   ", " + img.source);
}
BENCHMARK(BM_PcxDecode)
    ->ArgNames({"bpp", "truecolor", "memory"})
    ->ArgsProduct({{16, 32}, {0, 1}, {1, 0}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
