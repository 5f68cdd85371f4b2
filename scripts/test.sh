#!/usr/bin/env bash
# Builds and runs the whole test suite: installs what is missing, then runs
# every stage in scripts/stages in order. Stops at the first failing stage.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh test
export GX_JOBS=${GX_JOBS:-$(nproc)}

start=$(date +%s)
for stage in scripts/stages/*.sh; do
  echo "=== $(basename "$stage" .sh) ==="
  stage_start=$(date +%s)
  bash "$stage"
  echo "=== $(basename "$stage" .sh): passed in $(( $(date +%s) - stage_start )) s ==="
done
echo "All stages passed in $(( $(date +%s) - start )) s."
