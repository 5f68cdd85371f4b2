// The one entry point of gx-bench; the benchmarks live in the other files.
// With --peer-results it runs the measurements that line up with the peer
// libraries instead (peer_results.cpp).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>

int gx_peer_results();

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--peer-results") == 0) return gx_peer_results();
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf(
                "usage: gx-bench [Google Benchmark options]\n"
                "       gx-bench --peer-results\n\n"
                "Without --peer-results: the library's benchmarks (fills, presentation, PCX\n"
                "decoding, the four mappers on the tilted quad, whole cube frames), each at\n"
                "every vector level the processor has; --benchmark_filter=REGEX picks some.\n"
                "With --peer-results: nine lines 'RESULT key value unit' that line up with\n"
                "the peer libraries' figures (medians of 15 batches of about 25 ms), for\n"
                "EXTRA_BENCH='gx-bench --peer-results' in the peers' run script.\n\n"
                "Google Benchmark's own options:\n");
            benchmark::PrintDefaultHelp();
            return 0;
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
