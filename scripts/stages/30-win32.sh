#!/usr/bin/env bash
# The Windows build, cross-compiled with MinGW-w64, and the whole test suite
# as Windows programs under Wine on a private headless X display: every
# headless unit-test program (the same arithmetic on x86 Windows with SSE2)
# and the GDI tests of the Windows backend (tests/win32).
#
# The Windows program is 32-bit (build/win32) and is always built. Its tests
# run under 32-bit Wine where the machine can run 32-bit code; on a kernel
# without IA-32 emulation nothing 32-bit can start, so there the same tests
# are built as a 64-bit Windows program (build/win64) and run under 64-bit
# Wine. GX_WINE_ARCH=win32|win64 forces the choice.
set -euo pipefail
. scripts/host.sh
if ! gx_host_is_x86; then
  echo "30-win32: skipped: the Windows build is tested under Wine, which runs x86 programs on x86 machines only (this one is $(gx_host_arch))."
  exit 77
fi
. scripts/wine-env.sh
jobs=${GX_JOBS:-2}

build() {  # build dir, toolchain file
  cmake -S . -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$2" \
    -DGX_BUILD_BENCH=OFF
  cmake --build "$1" -j "$jobs"
}

build build/win32 cmake/toolchain-i686-mingw.cmake

arch=${GX_WINE_ARCH:-}
if [ -z "$arch" ]; then
  if wine_env_can_run_win32; then
    arch=win32
  else
    arch=win64
    echo "30-win32: this kernel runs no 32-bit code, so 32-bit Wine cannot start here."
    echo "30-win32: build/win32 is built only; the tests run from a 64-bit build under 64-bit Wine."
  fi
fi
if [ "$arch" = win64 ]; then
  build build/win64 cmake/toolchain-x86_64-mingw.cmake
fi

wine_env_start "$arch"
# The first window after a fresh prefix sometimes never shows: open one now,
# and give every test program a second chance.
wine_env_warm "build/$arch/tests/win32/gx_test_win32.exe" --gtest_filter='Present.*'
ctest --test-dir "build/$arch" --no-tests=error --output-on-failure --timeout 300 \
  -j "$jobs" --repeat until-pass:2
