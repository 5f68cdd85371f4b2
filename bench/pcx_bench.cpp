// Speed of the PCX reader: 2048 x 2048 images of 256 colours and of true
// colour, photo-like (run-length coding gains little), decoded into 16- and
// 32-bit buffers from memory and from a file. Items are pixels, so items per
// second are pixels per second.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "gfx/gfx.h"
#include "gfx/simd.h"
#include "plasma_images.h"
#include "platform/headless/headless.h"

namespace {

constexpr int32_t kSide = bench::PLASMA_SIDE;

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

// Arguments: buffer depth, true colour (0/1), from memory (0/1), vector
// level (0: the plain reference code, 1 SSE2, 2 AVX2).
void BM_PcxDecode(benchmark::State& state) {
    const auto depth = static_cast<int32_t>(state.range(0));
    const bool true_color = state.range(1) != 0;
    const bool memory = state.range(2) != 0;
    const auto level = static_cast<int32_t>(state.range(3));
    const bench::PcxImage& img = bench::plasma_image(true_color);
    Library library(depth);
    if (gx_simd_select(level) != level) {
        state.SkipWithError("level not supported by this processor");
        return;
    }
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
    state.counters["Mpixel/s"] = benchmark::Counter(
        pixels * static_cast<double>(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
    state.SetLabel(std::string(true_color ? "true colour" : "256 colours") +
                   (memory ? ", memory" : ", file") + ", " + img.source);
    gx_simd_select(gx_simd_supported());
}
BENCHMARK(BM_PcxDecode)
    ->ArgNames({"bpp", "truecolor", "memory", "level"})
    ->ArgsProduct({{16, 32}, {0, 1}, {1, 0}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
