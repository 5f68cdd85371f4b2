#!/usr/bin/env bash
# The same tests with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGX_SANITIZE=ON -DGX_BUILD_BENCH=OFF
cmake --build build/sanitize -j "${GX_JOBS:-2}"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 LSAN_OPTIONS=suppressions=$PWD/scripts/lsan-system.supp \
  ctest --test-dir build/sanitize --no-tests=error --output-on-failure -j "${GX_JOBS:-2}"
