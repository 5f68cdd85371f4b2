#!/usr/bin/env bash
# Installs what is missing, builds the cube program and starts it in the
# folder that holds its texture image, CUBE.PCX. On a machine without a
# display it says so and shows how to draw the picture with cube-render.
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
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || [ ! -x "$build/app/cube" ]; then
  if [ ! -x "$build/app/cube" ]; then
    echo "The windowed program was not built (SDL2 was not found)."
  else
    echo "This machine has no display (neither DISPLAY nor WAYLAND_DISPLAY is set),"
    echo "so the cube cannot open its window."
  fi
  picture="$root/$build/cube.png"
  (cd app/assets && "$render" --keys "lshift+y*6 x*5 kpplus*8" --out "$picture")
  cat <<HELP

cube-render draws the same picture without a window. It starts the program in
the current folder (which must hold CUBE.PCX), holds keys for a number of
frames and writes the picture. For example:

  cd app/assets
  $render --keys "lshift+y*6 x*5 kpplus*8" --out $picture

That command has just written $picture.
Key names: kpminus kpplus left right up down x y z lshift rshift; "x*10"
holds X for 10 frames, "lshift+y*5" Shift and Y together for 5.
'$render --help' tells the rest.
HELP
  exit 0
fi

cd app/assets
exec "$root/$build/app/cube"
