#!/usr/bin/env bash
# Builds and runs the whole test suite: installs what is missing, then runs
# every stage in scripts/stages in order. Stops at the first failing stage.
# A stage that needs another kind of machine says so in one line and is
# skipped (scripts/host.sh; GX_HOST_ARCH=aarch64 tries the ARM64 choices).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh test
export GX_JOBS=${GX_JOBS:-$(nproc)}

start=$(date +%s)
for stage in scripts/stages/*.sh; do
  echo "=== $(basename "$stage" .sh) ==="
  stage_start=$(date +%s)
  # Exit status 77: the stage does not apply to this machine (it says why).
  status=0
  bash "$stage" || status=$?
  if [ "$status" -eq 77 ]; then
    echo "=== $(basename "$stage" .sh): skipped ==="
    continue
  fi
  [ "$status" -eq 0 ] || exit "$status"
  echo "=== $(basename "$stage" .sh): passed in $(( $(date +%s) - stage_start )) s ==="
done
echo "All stages passed in $(( $(date +%s) - start )) s."
