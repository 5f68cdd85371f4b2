#!/usr/bin/env bash
# Installs what is missing, builds the cube program and starts it in the
# folder that holds its texture image, CUBE.PCX. On a machine without a
# display, or with one that cannot be opened (a stale DISPLAY over ssh), it
# says so and shows how to draw the picture with cube-render.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/deps.sh run
build=build/run
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DGX_BUILD_TESTS=OFF \
  -DGX_BUILD_BENCH=OFF >/dev/null
targets=(cube-render)
if cmake --build "$build" --target help | grep -q '^cube:'; then
  targets+=(cube)
fi
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"

render="$root/$build/tools/cube-render/cube-render"
cube="$root/$build/app/cube"

# Draws the picture without a window and tells how.
without_window() {
  picture="$root/$build/cube.png"
  "$render" --texture app/assets/CUBE.PCX --keys "lshift+y*6 x*5 kpplus*8" --out "$picture"
  cat <<HELP

cube-render draws the same picture without a window. It runs the program's
start-up with the texture image, holds keys for a number of frames and writes
the picture. For example, from the root of the clone:

  $render --texture app/assets/CUBE.PCX --keys "lshift+y*6 x*5 kpplus*8" --out $picture

That command has just written $picture.
Key names: kpminus kpplus left right up down x y z lshift rshift; "x*10"
holds X for 10 frames, "lshift+y*5" Shift and Y together for 5.
'$render --help' tells the rest.
HELP
}

if [ ! -x "$cube" ]; then
  echo "The windowed program was not built (SDL2 was not found)."
  without_window
  exit 0
fi
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "This machine has no display (neither DISPLAY nor WAYLAND_DISPLAY is set),"
  echo "so the cube cannot open its window."
  without_window
  exit 0
fi

# The program itself finds out at once whether the display can be opened;
# one that cannot is treated like none.
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
status=0
# Its messages still show as they come; the pipeline ends after tee has them.
{ (cd app/assets && "$cube") 2>&1 1>&3 | tee "$errors" >&2; } 3>&1 || status=$?
if [ "$status" -ne 0 ] && grep -q "no display" "$errors"; then
  echo "The display ${DISPLAY:-$WAYLAND_DISPLAY} cannot be opened, so the cube cannot open its window."
  without_window
  exit 0
fi
exit "$status"
