#!/usr/bin/env bash
# wine-exec.sh LOADER PROGRAM [ARGS...]: runs a Windows program with the Wine
# loader LOADER (wine, or wine64 for 64-bit programs; scripts/wine-env.sh
# exports the right one as $GX_WINE) and passes on its output and exit status.
#
# Wine's background processes (services, devices, the desktop) inherit the
# output of the program that started them and outlive it; the output goes
# through a file here so that they never hold the caller's pipe open (ctest,
# $(...) and `| tail` would otherwise wait for them).
set -u
loader=$1
shift
out=$(mktemp "${GX_WINE_TMP:-${TMPDIR:-/tmp}}/wine-exec.XXXXXX")
"$loader" "$@" >"$out" 2>&1 </dev/null
status=$?
cat "$out"
rm -f "$out"
exit "$status"
