// gx-bench --peer-results: the measurements that line up with the peer
// libraries' (see the peers' README), timed the way the peers' harness times
// them: a few warm-up calls, batches of about 25 ms, 15 batches, the median
// time per call. Standard output gets exactly nine lines
// "RESULT key value unit", so that the command can run in the peers' rounds
// (EXTRA_BENCH); context (pixel counts, the vector level, the floors the
// figures compare with) goes to standard error.
//
//   frame_rotated_ms, frame_first_ms   a whole frame of the program at the
//       rotated and the unrotated pose: depth clear, white fill, object
//       transform, the six faces (640 x 480, 16 bits)
//   fill_*_mpx   each mapper on the tilted fill quad: covered pixels per
//       second of new depth frame plus fill
//   pcx_8bit_2048_mpx, pcx_24bit_2048_mpx   decoding the 2048 x 2048
//       plasma images from memory into a 16-bit buffer
//   blit_1920x1080_us   gx_buffer_scale_blit of the 640 x 480 buffer onto a
//       1920 x 1080 client (headless)
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "bench_scene.h"
#include "gfx/simd.h"
#include "plasma_images.h"
#include "platform/headless/headless.h"

namespace {

using Clock = std::chrono::steady_clock;

// Median nanoseconds per call of f, by the peers' protocol.
template <class F>
double median_ns(F&& f) {
    constexpr double BATCH_NS = 25e6;
    constexpr int BATCHES = 15;
    for (int i = 0; i < 3; ++i) f();
    const auto start = Clock::now();
    f();
    const double one = std::max(
        1.0, std::chrono::duration<double, std::nano>(Clock::now() - start).count());
    const long calls = std::max(1L, static_cast<long>(BATCH_NS / one));
    std::vector<double> per_call;
    for (int b = 0; b < BATCHES; ++b) {
        const auto s = Clock::now();
        for (long i = 0; i < calls; ++i) f();
        per_call.push_back(std::chrono::duration<double, std::nano>(Clock::now() - s).count() /
                           static_cast<double>(calls));
    }
    std::sort(per_call.begin(), per_call.end());
    return per_call[per_call.size() / 2];
}

void result(const char* key, double value, const char* unit) {
    std::printf("RESULT %s %.6g %s\n", key, value, unit);
    std::fflush(stdout);
}

void frames() {
    bench::Scene scene;
    for (const bool turned : {true, false}) {
        bench::cube_frame(scene, turned);
        const int64_t pixels = bench::Scene::covered();
        const double ns = median_ns([&] { bench::cube_frame(scene, turned); });
        result(turned ? "frame_rotated_ms" : "frame_first_ms", ns / 1e6, "ms");
        std::fprintf(stderr, "  frame %s: %lld pixels covered\n", turned ? "rotated" : "first",
                     static_cast<long long>(pixels));
    }
}

void fills() {
    bench::Scene scene;
    const bench::FillQuad quad;
    const struct {
        bench::Mapper mapper;
        const char* key;
    } mappers[] = {{bench::PERSP_DEPTH, "fill_persp_depth_mpx"},
                   {bench::PERSP, "fill_persp_mpx"},
                   {bench::AFFINE_DEPTH, "fill_affine_depth_mpx"},
                   {bench::AFFINE, "fill_affine_mpx"}};
    for (const auto& m : mappers) {
        const int64_t pixels = quad.pixels(m.mapper);
        const double ns = median_ns([&] { quad.draw(m.mapper); });
        result(m.key, static_cast<double>(pixels) / ns * 1e3, "Mpx/s");
        std::fprintf(stderr, "  %s: %lld pixels, %.1f us per fill\n", m.key,
                     static_cast<long long>(pixels), ns / 1e3);
    }
}

// Decoding from memory into an open buffer of the given depth.
double pcx_mpx(bool true_color, int32_t depth) {
    const bench::PcxImage& image = bench::plasma_image(true_color);
    headless_reset();
    gx_state = GraphicsState{};
    PfDC window = headless_window_dc(16, 16);
    gx_set_dc(window);
    PfPalette palette = gx_create_palette();
    gx_realize_palette(palette);
    gx_initialize();
    gx_set_buffer_depth(depth);
    const int32_t slot = gx_buffer_alloc(bench::PLASMA_SIDE, bench::PLASMA_SIDE);
    gx_buffer_open(slot);
    int32_t failed = 0;
    const double ns = median_ns([&] {
        gx_set_input(image.bytes.data(), static_cast<uint32_t>(image.bytes.size()));
        failed |= gx_load_pcx(nullptr, GX_PCX_AT_POSITION | GX_PCX_FROM_MEMORY);
        gx_reset_input();
    });
    gx_buffer_close();
    gx_buffer_free(slot);
    gx_shutdown();
    pf_delete_object(pf_as_object(palette));
    pf_delete_dc(window);
    if (failed != 0) std::fprintf(stderr, "  the reader failed on %s\n", image.path.c_str());
    return static_cast<double>(bench::PLASMA_SIDE) * bench::PLASMA_SIDE / ns * 1e3;
}

void pcx() {
    result("pcx_8bit_2048_mpx", pcx_mpx(false, 16), "Mpx/s");
    result("pcx_24bit_2048_mpx", pcx_mpx(true, 16), "Mpx/s");
    std::fprintf(stderr, "  pcx into 32-bit buffers: 8-bit %.0f, 24-bit %.0f Mpx/s (%s images)\n",
                 pcx_mpx(false, 32), pcx_mpx(true, 32), bench::plasma_image(false).source.c_str());
}

void blit() {
    constexpr int32_t W = 1920;
    constexpr int32_t H = 1080;
    headless_reset();
    gx_state = GraphicsState{};
    PfDC window = headless_window_dc(W, H);
    gx_set_dc(window);
    gx_initialize();
    gx_set_buffer_depth(16);
    const int32_t slot = gx_buffer_alloc(bench::WIDTH, bench::HEIGHT);
    gx_buffer_open(slot);
    gx_set_color(0x1234);
    gx_fill_buffer();
    const double ns = median_ns([] { gx_buffer_scale_blit(0, 639, 0, 479, 0, W - 1, 0, H - 1); });
    result("blit_1920x1080_us", ns / 1e3, "us");
    gx_buffer_close();
    gx_buffer_free(slot);
    gx_shutdown();
    pf_delete_dc(window);
    // The floor it compares with: a plain copy of the bytes it writes.
    std::vector<uint8_t> from(static_cast<size_t>(W) * H * 4, 0x5A);
    std::vector<uint8_t> to(from.size());
    const double copy_ns = median_ns([&] {
        std::memcpy(to.data(), from.data(), to.size());
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    });
    std::fprintf(stderr, "  memcpy of the %zu bytes written: %.1f us (blit / copy = %.2f)\n",
                 to.size(), copy_ns / 1e3, ns / copy_ns);
}

}  // namespace

int gx_peer_results() {
    std::fprintf(stderr, "gx-bench --peer-results: vector level %d\n", gx_simd_level());
    frames();
    fills();
    pcx();
    blit();
    return 0;
}
