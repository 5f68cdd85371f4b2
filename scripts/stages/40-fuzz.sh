#!/usr/bin/env bash
# The fuzz targets (clang, libFuzzer, ASan and UBSan), each run for a minute
# on top of its seed corpus. Any crash, leak, hang or failed check fails.
set -euo pipefail
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DGX_FUZZ=ON -DGX_BUILD_TESTS=OFF -DGX_BUILD_BENCH=OFF
cmake --build build/fuzz --target fuzzers -j "${GX_JOBS:-2}"
fuzz/run.sh -b build/fuzz -t "${GX_FUZZ_SECONDS:-60}"
