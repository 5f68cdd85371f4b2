// The one entry point of gx-bench; the benchmarks live in the other files.
// With --peer-results it runs the measurements that line up with the peer
// libraries instead (peer_results.cpp).
#include <benchmark/benchmark.h>

#include <cstring>

int gx_peer_results();

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--peer-results") == 0) return gx_peer_results();
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
