// Speed of the texture mappers and of whole cube frames, in a 640 x 480
// 16-bit buffer (one fill also at 8, 24 and 32 bits) with a depth buffer, as
// the program draws them (see bench_scene.h). Each runs at every vector
// level the processor has: level 0 is the plain scalar reference, 1 SSE2,
// 2 AVX2, 3 AVX-512. Fill rates are pixels/s.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "bench_scene.h"
#include "gfx/simd.h"

namespace {

using namespace bench;

// Selects the benchmark's level; false (the benchmark skipped) where the
// processor lacks it.
bool select_level(benchmark::State& state) {
    const auto level = static_cast<int32_t>(state.range(0));
    if (gx_simd_select(level) != level) {
        state.SkipWithError("level not supported by this processor");
        return false;
    }
    return true;
}

void BM_FillQuad(benchmark::State& state, Mapper mapper, int32_t bits = 16) {
    Scene scene(bits);
    if (!select_level(state)) return;
    const FillQuad quad;
    const int64_t pixels = quad.pixels(mapper);
    for (auto _ : state) {
        quad.draw(mapper);
        benchmark::DoNotOptimize(gx_state.active_pixels[0]);
        benchmark::ClobberMemory();
    }
    state.counters["pixels"] = benchmark::Counter(static_cast<double>(pixels));
    state.counters["pixels/s"] = benchmark::Counter(static_cast<double>(pixels),
                                                    benchmark::Counter::kIsIterationInvariantRate);
    gx_simd_select(gx_simd_supported());
}
BENCHMARK_CAPTURE(BM_FillQuad, persp_depth, PERSP_DEPTH)
    ->ArgName("level")
    ->DenseRange(0, 3)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_FillQuad, persp_depth_8bit, PERSP_DEPTH, 8)
    ->ArgName("level")
    ->DenseRange(0, 3)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_FillQuad, persp_depth_24bit, PERSP_DEPTH, 24)
    ->ArgName("level")
    ->DenseRange(0, 3)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_FillQuad, persp_depth_32bit, PERSP_DEPTH, 32)
    ->ArgName("level")
    ->DenseRange(0, 3)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_FillQuad, persp, PERSP)
    ->ArgName("level")
    ->DenseRange(0, 3)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_FillQuad, affine_depth, AFFINE_DEPTH)
    ->ArgName("level")
    ->DenseRange(0, 3)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_FillQuad, affine, AFFINE)
    ->ArgName("level")
    ->DenseRange(0, 3)
    ->Unit(benchmark::kMicrosecond);

void BM_CubeFrame(benchmark::State& state, bool turned) {
    Scene scene;
    if (!select_level(state)) return;
    cube_frame(scene, turned);
    const int64_t pixels = Scene::covered();
    for (auto _ : state) {
        cube_frame(scene, turned);
        benchmark::DoNotOptimize(gx_state.active_pixels[0]);
        benchmark::ClobberMemory();
    }
    state.counters["pixels"] = benchmark::Counter(static_cast<double>(pixels));
    gx_simd_select(gx_simd_supported());
}
BENCHMARK_CAPTURE(BM_CubeFrame, turned_42_30_18, true)
    ->ArgName("level")
    ->DenseRange(0, 3)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_CubeFrame, unturned, false)
    ->ArgName("level")
    ->DenseRange(0, 3)
    ->Unit(benchmark::kMicrosecond);

// The fixed part of a frame: depth clear and white fill alone.
void BM_ClearFrame(benchmark::State& state) {
    Scene scene;
    for (auto _ : state) {
        gx_depthbuf_clear();
        clear_white();
        benchmark::DoNotOptimize(gx_state.active_pixels[0]);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ClearFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
