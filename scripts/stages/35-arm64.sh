#!/usr/bin/env bash
# The ARM64 build, cross-compiled for aarch64 Linux and run under
# qemu-aarch64: every unit-test program and the cube-render command-line
# test, then cube-render frames and pcx-convert output compared byte for
# byte with the native build's (build/native, from stage 10) over a spread
# of key scripts, render flags, depths, images and reader flags.
# It runs on x86 machines (where scripts/deps.sh installs the cross
# compiler and qemu); on an ARM64 machine stage 10 has built and tested all
# of this natively.
set -euo pipefail
. scripts/host.sh
if ! gx_host_is_x86; then
  echo "35-arm64: skipped: the ARM64 cross build runs on x86 machines; on this $(gx_host_arch) machine stage 10 tested the native build."
  exit 77
fi
jobs=${GX_JOBS:-2}

cmake -S . -B build/arm64 -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-aarch64-linux.cmake -DGX_BUILD_BENCH=OFF
cmake --build build/arm64 -j "$jobs"
ctest --test-dir build/arm64 --no-tests=error --output-on-failure -j "$jobs"

if [ ! -x build/native/tools/cube-render/cube-render ]; then
  cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=Release
  cmake --build build/native -j "$jobs" --target cube-render pcx-convert
fi
python3 tests/e2e/same_pixels.py --reference build/native --other build/arm64 \
  --emulator qemu-aarch64 --jobs "$jobs"
