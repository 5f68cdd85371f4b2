#!/usr/bin/env bash
# Runs a command inside the Wine environment of scripts/wine-env.sh: the one
# the caller already started (its X display and prefix), or else a private
# one that lasts as long as the command. ARCH (win32 or win64) is the kind
# of Windows program the command runs.
#   run_wine.sh SOURCE_DIR ARCH COMMAND [ARGS...]
set -euo pipefail
source_dir=$1
arch=$2
shift 2
. "$source_dir/scripts/wine-env.sh"
wine_env_start "$arch" >&2
"$@"
