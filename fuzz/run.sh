#!/usr/bin/env bash
# Runs the fuzz targets, each for a bounded time, on top of its seed corpus.
#
#   fuzz/run.sh [-t SECONDS] [-b BUILD_DIR] [-c CORPUS_DIR] [TARGET...] [-- LIBFUZZER_ARGS...]
#
#   -t  seconds per target (default 60)
#   -b  the build directory configured with clang and -DGX_FUZZ=ON
#       (default build/fuzz; build it with `cmake --build DIR --target fuzzers`)
#   -c  keep each target's working corpus in CORPUS_DIR/<target> across runs
#       (default: a temporary copy of fuzz/corpus/<target>, so the repository
#       is never modified)
#   TARGET  pcx_fuzzer, polygon_fuzzer, buffer_fuzzer (default: all three)
#
# Inputs that crash, leak, time out or fail a check are kept in
# BUILD_DIR/findings/<target>/; the script then exits with status 1.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=60
build=build/fuzz
keep=""
while getopts "t:b:c:" opt; do
  case "$opt" in
    t) seconds=$OPTARG ;;
    b) build=$OPTARG ;;
    c) keep=$OPTARG ;;
    *) sed -n '2,16p' "$0" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
targets=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do targets+=("$1"); shift; done
[ $# -gt 0 ] && shift  # the "--"
extra=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(pcx_fuzzer polygon_fuzzer buffer_fuzzer)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failed=0
for target in "${targets[@]}"; do
  exe="$build/fuzz/$target"
  if [ ! -x "$exe" ]; then
    echo "$exe is missing: configure with -DCMAKE_CXX_COMPILER=clang++ -DGX_FUZZ=ON and build the 'fuzzers' target" >&2
    exit 2
  fi
  if [ -n "$keep" ]; then
    corpus="$keep/$target"
  else
    corpus="$work/$target"
  fi
  mkdir -p "$corpus"
  if [ -z "$(ls -A "$corpus")" ]; then
    cp fuzz/corpus/"$target"/* "$corpus"/
  fi
  findings="$build/findings/$target"
  mkdir -p "$findings"
  log="$work/$target.log"
  echo "--- $target: ${seconds} s on $(ls "$corpus" | wc -l) inputs"
  status=0
  # -timeout: an input that runs for 30 s is a hang, which is a finding too.
  "$exe" "$corpus" -max_total_time="$seconds" -timeout=30 -print_final_stats=1 \
    -artifact_prefix="$findings/" ${extra[@]+"${extra[@]}"} >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  final=$(grep -E '^#[0-9]+.*cov: ' "$log" | tail -1 | grep -oE 'cov: [0-9]+ ft: [0-9]+' || true)
  echo "    executions: ${runs:-?}, ${final:-no coverage line}, exit status $status"
  if [ "$status" -ne 0 ]; then
    failed=1
    echo "    FINDING in $target; the last lines of its log:"
    tail -n 60 "$log" | sed 's/^/    | /'
    echo "    kept inputs: $(ls "$findings" | tr '\n' ' ')"
  fi
done
exit $failed
