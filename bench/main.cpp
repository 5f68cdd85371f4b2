// The one entry point of gx-bench; the benchmarks live in the other files.
#include <benchmark/benchmark.h>

BENCHMARK_MAIN();
