#!/usr/bin/env bash
# Installs what a fresh Debian or Ubuntu machine lacks.
#   scripts/deps.sh run    what building and running the program needs
#   scripts/deps.sh test   everything the whole test suite needs (the default)
set -euo pipefail

what=${1:-test}
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo=sudo; fi

run_packages=(build-essential cmake ninja-build pkg-config libsdl2-dev libpng-dev)
test_packages=("${run_packages[@]}" python3 googletest libgtest-dev libgmock-dev libbenchmark-dev
  netpbm imagemagick graphicsmagick python3-pil xvfb xauth xdotool x11-utils x11-apps openbox
  clang libclang-rt-14-dev)
# Only an x86 machine runs the Windows build under Wine and the ARM64 cross
# build under qemu (scripts/stages/30-win32.sh, 35-arm64.sh); elsewhere
# those stages are skipped and their packages, most of which do not exist
# there, are not installed.
x86_test_packages=(g++-mingw-w64-i686 wine wine32:i386 g++-mingw-w64-x86-64-posix wine64
  g++-aarch64-linux-gnu qemu-user)
. "$(dirname "$0")/host.sh"
if gx_host_is_x86; then
  test_packages+=("${x86_test_packages[@]}")
elif [ "$what" = test ]; then
  echo "deps: $(gx_host_arch) machine: not installing the Windows and ARM64 cross-build packages (their stages need an x86 machine)"
fi
# The reference (docs target) and the style checks (scripts/check-style.sh).
test_packages+=(doxygen clang-format-14 clang-tidy-14)

case "$what" in
  run) packages=("${run_packages[@]}") ;;
  test) packages=("${test_packages[@]}") ;;
  *) echo "usage: scripts/deps.sh [run|test]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if printf '%s\n' "${missing[@]}" | grep -q ':i386$'; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
fi
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
