#!/usr/bin/env bash
# Native build (headless, SDL, tools, benchmarks) and its tests.
set -euo pipefail
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build/native -j "${GX_JOBS:-2}"
ctest --test-dir build/native --no-tests=error --output-on-failure -j "${GX_JOBS:-2}"
