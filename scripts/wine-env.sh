# Shared helpers for running the cross-built Windows programs under Wine,
# headless, with a private prefix and a private X display.
#
# Source it from a bash script (set -euo pipefail is fine):
#
#   . scripts/wine-env.sh
#   wine_env_start                 # once per run: temp dir, Xvfb, fresh prefix
#   wine_env_warm prog.exe args    # optional: one throw-away run of a GUI program
#   wine_retry ctest ...           # any command; run a second time if it fails
#   wine_run 60 prog.exe args      # the Wine loader with a time limit in seconds
#
# Run Windows programs through wine_run or scripts/wine-exec.sh "$GX_WINE":
# Wine's background processes outlive the program and would otherwise keep
# any pipe on its output open (a `| tail` or $(...) would never end).
#
# 32 or 64 bits: the Windows program is 32-bit (build/win32, made with
# cmake/toolchain-i686-mingw.cmake). Some Linux kernels run no 32-bit code at
# all (IA-32 emulation turned off); there 32-bit Wine cannot start, and the
# only Windows programs that run are 64-bit ones (build/win64, made with
# cmake/toolchain-x86_64-mingw.cmake) under the 64-bit loader. wine_env_start
# [win32|win64] picks the prefix kind; without an argument it takes win32
# where the machine can run it, else win64 (GX_WINE_ARCH overrides that).
#
# wine_env_start exports, for everything started after it:
#   GX_WINE_ARCH      win32 or win64: the kind of program this prefix runs
#   GX_WINE_BUILD     build/win32 or build/win64: where scripts/stages/30-win32.sh
#                     builds the programs of that kind (relative to the repo root)
#   GX_WINE           the Wine loader for that kind (the cmake toolchains use it
#                     as the emulator through which ctest runs the tests)
#   GX_WINE_TMP       the private temporary folder (removed by wine_env_stop)
#   WINEPREFIX        $GX_WINE_TMP/prefix, made once with wineboot
#   WINEARCH, WINEDEBUG=-all,
#   WINEDLLOVERRIDES  no Mono/Gecko install prompts, no menu entries
#   DISPLAY           a private Xvfb display (1280x1024, 24 bits, no TCP)
#   GX_XVFB_PID       the Xvfb process
# and sets `trap wine_env_stop EXIT`. A script that needs its own EXIT trap
# should call wine_env_stop from it.
#
# The prefix's wineserver is kept running (persistent) between programs, so
# each program starts quickly; wine_env_stop ends it and everything it runs.
#
# Known behaviour of Wine here: right after a fresh prefix, the first window a
# program opens occasionally never appears. Warm the prefix with one run of a
# program that opens a window (wine_env_warm) and retry failures once.

_wine_env_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# Whether this machine can run 32-bit Wine: its loader is a 32-bit Linux
# program, which fails with "Exec format error" where the kernel runs no
# 32-bit code.
wine_env_can_run_win32() {
  [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1
}

# Starts everything; safe to call once per script.
wine_env_start() {
  if [ -n "${GX_WINE_TMP:-}" ]; then
    return 0
  fi
  local arch=${1:-${GX_WINE_ARCH:-}}
  if [ -z "$arch" ]; then
    if wine_env_can_run_win32; then arch=win32; else arch=win64; fi
  fi
  case "$arch" in
    win32) GX_WINE=$(command -v wine || true) ;;
    win64) GX_WINE=/usr/lib/wine/wine64; [ -x "$GX_WINE" ] || GX_WINE=$(command -v wine64 || true) ;;
    *) echo "wine-env: unknown kind '$arch' (win32 or win64)" >&2; return 1 ;;
  esac
  [ -n "$GX_WINE" ] || { echo "wine-env: no Wine loader for $arch programs" >&2; return 1; }
  command -v Xvfb >/dev/null || { echo "wine-env: Xvfb is not installed" >&2; return 1; }
  export GX_WINE GX_WINE_ARCH=$arch GX_WINE_BUILD=build/$arch

  GX_WINE_TMP=$(mktemp -d "${TMPDIR:-/tmp}/gx-wine.XXXXXX")
  export GX_WINE_TMP
  trap wine_env_stop EXIT

  _wine_env_start_xvfb 1280x1024x24

  export WINEPREFIX="$GX_WINE_TMP/prefix"
  export WINEARCH=$arch
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

  local start=$SECONDS
  # Make the prefix and wait until every process of the set-up has ended.
  "$GX_WINE" wineboot.exe --init >"$GX_WINE_TMP/wineboot.log" 2>&1 || {
    echo "wine-env: wineboot failed:" >&2
    cat "$GX_WINE_TMP/wineboot.log" >&2
    return 1
  }
  wineserver --wait
  wineserver --persistent
  echo "wine-env: $arch prefix ready in $((SECONDS - start)) s (DISPLAY=$DISPLAY)"
}

# Only the private Xvfb, without Wine (machines that run no Windows programs).
xvfb_env_start() {
  if [ -n "${GX_WINE_TMP:-}" ]; then
    return 0
  fi
  command -v Xvfb >/dev/null || { echo "wine-env: Xvfb is not installed" >&2; return 1; }
  GX_WINE_TMP=$(mktemp -d "${TMPDIR:-/tmp}/gx-xvfb.XXXXXX")
  export GX_WINE_TMP
  trap wine_env_stop EXIT
  _wine_env_start_xvfb 1280x1024x24
}

# A private Xvfb; -displayfd makes it choose a free display number and tell
# it once it accepts connections.
_wine_env_start_xvfb() {
  local screen=$1 fifo="$GX_WINE_TMP/xvfb-display"
  Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset \
    3>"$fifo" >"$GX_WINE_TMP/xvfb.log" 2>&1 &
  GX_XVFB_PID=$!
  export GX_XVFB_PID
  local i
  for i in $(seq 100); do
    if [ -s "$fifo" ]; then
      export DISPLAY=":$(head -n1 "$fifo")"
      return 0
    fi
    if ! kill -0 "$GX_XVFB_PID" 2>/dev/null; then
      break
    fi
    sleep 0.1
  done
  echo "wine-env: Xvfb did not start:" >&2
  cat "$GX_WINE_TMP/xvfb.log" >&2
  return 1
}

# Ends the prefix's programs and wineserver, Xvfb, and removes the temp dir.
wine_env_stop() {
  if [ -z "${GX_WINE_TMP:-}" ]; then
    return 0
  fi
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    wineserver --kill 2>/dev/null || true
    wineserver --wait 2>/dev/null || true
  fi
  if [ -n "${GX_XVFB_PID:-}" ]; then
    kill "$GX_XVFB_PID" 2>/dev/null || true
    wait "$GX_XVFB_PID" 2>/dev/null || true
  fi
  rm -rf "$GX_WINE_TMP"
  unset GX_WINE_TMP GX_XVFB_PID
}

# wine_run SECONDS PROGRAM [ARGS...]: runs a Windows program under Wine and
# gives up (status 124) after SECONDS.
wine_run() {
  local limit=$1
  shift
  timeout --kill-after=5 "$limit" "$_wine_env_dir/wine-exec.sh" "$GX_WINE" "$@"
}

# wine_env_warm PROGRAM [ARGS...]: one run of a program that opens a window,
# so that later runs meet a warm prefix. Its result does not matter.
wine_env_warm() {
  wine_run 60 "$@" >"$GX_WINE_TMP/warm.log" 2>&1 || true
}

# wine_retry COMMAND [ARGS...]: runs a command and, if it fails, once more.
wine_retry() {
  if "$@"; then
    return 0
  fi
  echo "wine-env: '$*' failed; retrying once" >&2
  "$@"
}
