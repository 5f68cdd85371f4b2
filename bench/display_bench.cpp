// Speed of the whole-buffer fill, block copies and the stretched presentation.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "gfx/gfx.h"
#include "gfx/simd.h"
#include "platform/headless/headless.h"
#include "platform/portable/portable.h"

namespace {

// A started library with one open 640 x 480 buffer of the given depth,
// presenting onto a window of the given client size.
struct Scene {
    PfDC window;
    Scene(int32_t depth, int32_t client_w, int32_t client_h) {
        headless_reset();
        gx_state = GraphicsState{};
        window = headless_window_dc(client_w, client_h);
        gx_set_dc(window);
        gx_initialize();
        gx_set_buffer_depth(depth);
        gx_buffer_open(gx_buffer_alloc(640, 480));
        gx_set_color(0x123456);
        gx_fill_buffer();
    }
    ~Scene() {
        gx_buffer_close();
        gx_buffer_free(-1);
        gx_shutdown();
        pf_delete_dc(window);
    }
};

void BM_FillBuffer(benchmark::State& state) {
    Scene scene(static_cast<int32_t>(state.range(0)), 16, 16);
    for (auto _ : state) {
        gx_fill_buffer();
        benchmark::DoNotOptimize(gx_state.active_pixels[0]);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * gx_state.active_size);
}
BENCHMARK(BM_FillBuffer)->Arg(8)->Arg(16)->Arg(24)->Arg(32);

// The machine's floors for the fill and the presentation: memset of a
// buffer's bytes, and memcpy of as many bytes as a presentation writes.
void BM_Memset(benchmark::State& state) {
    std::vector<uint8_t> bytes(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        std::memset(bytes.data(), 0xFF, bytes.size());
        benchmark::DoNotOptimize(bytes.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Memset)->Arg(640 * 480 * 2)->Unit(benchmark::kMicrosecond);

void BM_Memcpy(benchmark::State& state) {
    std::vector<uint8_t> from(static_cast<size_t>(state.range(0)), 0x5A);
    std::vector<uint8_t> to(from.size());
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), to.size());
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Memcpy)->Arg(1280 * 960 * 4)->Arg(1920 * 1080 * 4)->Unit(benchmark::kMicrosecond);

void BM_GetBlock(benchmark::State& state) {
    Scene scene(static_cast<int32_t>(state.range(0)), 16, 16);
    std::vector<uint8_t> block(64 * 64 * 4);
    gx_move_to(128, 63);
    for (auto _ : state) {
        gx_get_block(block.data(), 64, 64);
        benchmark::DoNotOptimize(block[0]);
    }
}
BENCHMARK(BM_GetBlock)->Arg(16)->Arg(24)->Arg(32);

// Arguments: buffer depth, client width and height, the stretch's vector
// level (0: the plain per-pixel code, 1 SSE2, 2 AVX2).
void BM_Present(benchmark::State& state) {
    const auto w = static_cast<int32_t>(state.range(1));
    const auto h = static_cast<int32_t>(state.range(2));
    const auto level = static_cast<int32_t>(state.range(3));
    Scene scene(static_cast<int32_t>(state.range(0)), w, h);
    if (gx_simd_select(level) != level) {
        state.SkipWithError("level not supported by this processor");
        return;
    }
    for (auto _ : state) gx_buffer_scale_blit(0, 639, 0, 479, 0, w - 1, 0, h - 1);
    // Bytes written into the client image.
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * w * h * 4);
    gx_simd_select(gx_simd_supported());
}
BENCHMARK(BM_Present)
    ->ArgNames({"depth", "width", "height", "level"})
    ->Args({16, 640, 480, 2})
    ->Args({16, 1280, 960, 0})
    ->Args({16, 1280, 960, 2})
    ->Args({16, 1920, 1080, 0})
    ->Args({16, 1920, 1080, 1})
    ->Args({16, 1920, 1080, 2})
    ->Args({16, 952, 741, 2})
    ->Args({32, 1920, 1080, 2})
    ->Args({24, 1920, 1080, 2})
    ->Args({8, 1920, 1080, 2})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
