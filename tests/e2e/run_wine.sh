#!/usr/bin/env bash
# Runs a command inside the Wine environment of scripts/wine-env.sh: the one
# the caller already started (its X display and prefix), or else a private
# one that lasts as long as the command.
#   run_wine.sh SOURCE_DIR COMMAND [ARGS...]
set -euo pipefail
source_dir=$1
shift
. "$source_dir/scripts/wine-env.sh"
wine_env_start >&2
"$@"
