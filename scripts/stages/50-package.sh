#!/usr/bin/env bash
# The library as others use it: installs build/native into a temporary
# prefix and checks the installed tree (self-contained headers, no build
# paths); builds the examples against it with find_package and with
# pkg-config, runs the headless one and starts the windowed ones under Xvfb;
# builds the .deb, installs it on this machine, runs the installed programs
# and removes it again; builds the Windows zip from build/win32, unpacks it
# and runs the unpacked cube-render.exe and pcx-convert.exe under Wine. What
# the installed and unpacked programs write is compared with what the native
# build's own tools write, byte for byte.
#
# Needs the builds of stages 10 (build/native) and 30 (build/win32).
# GX_SCREENSHOTS=DIR also keeps a screenshot of each windowed example there.
set -euo pipefail
. scripts/wine-env.sh
. scripts/host.sh
root=$PWD
jobs=${GX_JOBS:-2}
version=$(sed -n 's/^project(gx VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo=sudo; fi

step() { echo "--- 50-package: $*"; }
fail() { echo "50-package: FAILED: $*" >&2; exit 1; }

# A private Xvfb for the windowed examples, and Wine where Windows programs run.
if gx_host_is_x86; then wine_env_start; else xvfb_env_start; fi
tmp=$(mktemp -d "${TMPDIR:-/tmp}/gx-package.XXXXXX")
deb_installed=""
cleanup() {
  if [ -n "$deb_installed" ]; then $sudo dpkg -r gx >/dev/null || true; fi
  rm -rf "$tmp"
  wine_env_stop
}
trap cleanup EXIT

# The reference frame: the build's own cube-render in the texture's folder.
(cd app/assets && "$root/build/native/tools/cube-render/cube-render" --out "$tmp/reference.raw")

# `cube-render --version` names this version.
check_version() {  # output file of `--version`
  grep -q "cube-render $version" "$1" || fail "--version does not name $version: $(cat "$1")"
}

step "install into a temporary prefix"
prefix=$tmp/prefix
cmake --install build/native --prefix "$prefix" >"$tmp/install.log"
for f in bin/cube bin/cube-render bin/pcx-convert bin/CUBE.PCX lib/libgx_headless.a lib/libgx_sdl.a \
         include/gx/gfx/gfx.h include/gx/gfx/version.h lib/cmake/gx/gxConfig.cmake \
         lib/cmake/gx/gxConfigVersion.cmake lib/pkgconfig/gx-headless.pc lib/pkgconfig/gx-sdl.pc \
         share/doc/gx/README.md; do
  [ -e "$prefix/$f" ] || fail "not installed: $f"
done
if grep -rlF "$root" "$prefix"; then fail "build paths in the installed files above"; fi
# Each installed header compiles on its own.
find "$prefix/include/gx" -name '*.h' | sort | while read -r header; do
  echo "#include \"${header#"$prefix/include/gx/"}\"" >"$tmp/one-header.cpp"
  c++ -std=c++20 -fsyntax-only -Wall -Wextra -I"$prefix/include/gx" $(pkg-config --cflags sdl2) \
    "$tmp/one-header.cpp" || fail "$header does not compile on its own"
done

step "examples with find_package"
cmake -S examples -B "$tmp/examples-cmake" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_CXX_FLAGS="-Wall -Wextra -Werror" >"$tmp/examples-cmake.log"
cmake --build "$tmp/examples-cmake" -j "$jobs"

step "examples with pkg-config"
mkdir -p "$tmp/examples-pc"
(cd "$tmp/examples-pc" && PKG_CONFIG_PATH="$prefix/lib/pkgconfig" CXXFLAGS="-O2 -Wall -Wextra -Werror" \
  make -s -f "$root/examples/Makefile" -j "$jobs")

step "render_frames writes its PNG files"
for kind in cmake pc; do
  mkdir -p "$tmp/frames-$kind"
  (cd "$tmp/frames-$kind" && "$tmp/examples-$kind/render_frames" 3 turn >/dev/null)
  for n in 000 001 002; do
    [ "$(identify -format '%m %wx%h' "$tmp/frames-$kind/turn-$n.png")" = "PNG 320x240" ] ||
      fail "render_frames ($kind): turn-$n.png is not a 320 x 240 PNG"
  done
  cmp -s "$tmp/frames-$kind/turn-000.png" "$tmp/frames-$kind/turn-001.png" &&
    fail "render_frames ($kind): the cube did not turn between frames"
done
cmp "$tmp/frames-cmake/turn-001.png" "$tmp/frames-pc/turn-001.png" ||
  fail "render_frames: the two builds drew different frames"

# Starts a windowed example, waits for its window, checks that it drew a
# picture (not one flat colour), then closes it with Escape held for a
# moment (the examples poll the key state) and expects exit status 0.
window_check() {  # window title, program and arguments
  local title=$1 pid wid status=0 colours
  shift
  "$@" >"$tmp/window.log" 2>&1 &
  pid=$!
  wid=$(timeout 20 xdotool search --sync --onlyvisible --name "^$title" | head -n1) ||
    { cat "$tmp/window.log"; kill "$pid" 2>/dev/null; fail "$title: no window came up"; }
  sleep 1  # the first frames
  import -window "$wid" "$tmp/$title.png"
  colours=$(identify -format '%k' "$tmp/$title.png")
  [ "$colours" -gt 1 ] || { kill "$pid"; fail "$title: the window shows one flat colour"; }
  if [ -n "${GX_SCREENSHOTS:-}" ]; then
    convert "$tmp/$title.png" -strip -define png:compression-level=9 "$GX_SCREENSHOTS/$title.png"
  fi
  xdotool windowfocus --sync "$wid" 2>/dev/null || true
  xdotool keydown Escape
  sleep 0.5
  xdotool keyup Escape
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
  if kill -0 "$pid" 2>/dev/null; then kill "$pid"; fail "$title: Escape did not close it"; fi
  wait "$pid" || status=$?
  [ "$status" -eq 0 ] || { cat "$tmp/window.log"; fail "$title: exit status $status"; }
  echo "$title: came up ($colours colours), closed with status 0"
}

step "windowed examples under Xvfb"
for kind in cmake pc; do
  window_check pcx_viewer "$tmp/examples-$kind/pcx_viewer" "$prefix/bin/CUBE.PCX"
  window_check textured_cubes "$tmp/examples-$kind/textured_cubes" "$prefix/bin/CUBE.PCX"
done

step "Debian package"
(cd build/native && cpack -G DEB -B "$tmp/deb" >"$tmp/cpack-deb.log")
deb=$tmp/deb/gx_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no $deb"
dpkg-deb -c "$deb" | awk '{print $6}' | grep -v '/$'
dpkg -s gx >/dev/null 2>&1 && fail "a gx package is installed already; remove it first"
deb_installed=yes
$sudo dpkg -i "$deb" >/dev/null
/usr/bin/cube-render --version >"$tmp/version.txt" 2>&1 || true
check_version "$tmp/version.txt"
# The installed program with the installed texture draws the reference frame.
(cd /usr/bin && /usr/bin/cube-render --out "$tmp/deb-frame.raw")
cmp "$tmp/reference.raw" "$tmp/deb-frame.raw" || fail "the installed cube-render drew another frame"
$sudo dpkg -r gx >/dev/null
deb_installed=""
[ ! -e /usr/bin/cube-render ] || fail "removing the package left /usr/bin/cube-render"

check_windows_zip() {
  step "Windows zip"
  zips=(win32)
  if [ "$GX_WINE_ARCH" = win64 ]; then
    echo "50-package: this machine runs no 32-bit Windows programs; the 64-bit zip from build/win64 is run instead"
    zips+=(win64)
  fi
  for arch in "${zips[@]}"; do
    (cd "build/$arch" && cpack -G ZIP -B "$tmp/zip-$arch" >"$tmp/cpack-$arch.log")
    zip=$tmp/zip-$arch/gx-$version-$arch.zip
    [ -f "$zip" ] || fail "no $zip"
    mkdir -p "$tmp/unzipped-$arch"
    (cd "$tmp/unzipped-$arch" && cmake -E tar xvf "$zip")
  done
  dir=$tmp/unzipped-$GX_WINE_ARCH/gx-$version-$GX_WINE_ARCH
  for f in cube.exe cube-render.exe pcx-convert.exe CUBE.PCX README.md; do [ -f "$dir/$f" ] || fail "the zip lacks $f"; done
  (cd "$dir" && wine_run 60 cube-render.exe --version >"$tmp/version.txt" 2>&1 || true)
  check_version "$tmp/version.txt"
  (cd "$dir" && wine_run 120 cube-render.exe --out frame.raw)
  cmp "$tmp/reference.raw" "$dir/frame.raw" || fail "the unpacked cube-render.exe drew another frame"
  build/native/tools/pcx-convert/pcx-convert --bpp 16 app/assets/CUBE.PCX "$tmp/reference.ppm"
  (cd "$dir" && wine_run 60 pcx-convert.exe --bpp 16 CUBE.PCX cube.ppm)
  cmp "$tmp/reference.ppm" "$dir/cube.ppm" || fail "the unpacked pcx-convert.exe read the texture differently"
}
if gx_host_is_x86; then
  check_windows_zip
else
  echo "50-package: the Windows zip is skipped: Wine runs x86 programs on x86 machines only (this one is $(gx_host_arch))"
fi
echo "50-package: the installed and unpacked programs drew the reference frame"
