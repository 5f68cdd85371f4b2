#!/usr/bin/env bash
# run_wine.sh SOURCE_DIR ARCH COMMAND...: COMMAND in the Wine environment of
# scripts/wine-env.sh for ARCH (win32 or win64) programs: the caller's, or a
# private one.
set -euo pipefail
. "$1/scripts/wine-env.sh"
wine_env_start "$2" >&2
shift 2
"$@"
