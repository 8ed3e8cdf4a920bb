#!/bin/sh
# Builds the fuzz targets (clang, ASan, UBSan, libFuzzer) in build-fuzz/,
# writes the seed corpora and runs each target for a bounded time.
#   sh fuzz/run.sh [SECONDS] [TARGET...]
#     SECONDS   time per target (default 60)
#     TARGET    job, container, import (default all three; import only where
#               qdpimport is built)
# Environment:
#   FUZZ_PARALLEL=1   run the targets at the same time (one core each)
#                     instead of one after the other
#   FUZZ_TIMEOUT=N    seconds one input may take before it counts as a
#                     hang (default 20, and 120 for the import, whose font
#                     budgets take seconds even unsanitized; raise it when
#                     the fuzzers may be paused, since the clock keeps
#                     running)
# The working corpus stays in build-fuzz/corpus/ between runs, so a later
# run carries on from what an earlier one found. A finding stops the run
# with exit status 1 and leaves the input in build-fuzz/artifacts/.
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-60}
[ $# -gt 0 ] && shift
targets=${*:-job container import}

sh tools/ensure-deps fuzz
build=build-fuzz
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j 2 --target job_fuzzer container_fuzzer import_fuzzer make_seeds
"$build/tests/make_seeds" "$build/seeds" >/dev/null
mkdir -p "$build/artifacts" "$build/logs"

# Complete projects are up to 430 KB; containers stay small so that a
# mutated stream cannot decode to more than about eight megabytes.
max_len() {
  case "$1" in
    job) echo 450000 ;;
    container) echo 8192 ;;
    import) echo 300000 ;;
  esac
}

# Seconds one input may take.
timeout_of() {
  case "$1" in
    import) echo "${FUZZ_TIMEOUT:-120}" ;;
    *) echo "${FUZZ_TIMEOUT:-20}" ;;
  esac
}

run_target() {
  name=$1
  mkdir -p "$build/corpus/$name"
  "$build/fuzz/${name}_fuzzer" \
    -max_total_time="$seconds" -max_len="$(max_len "$name")" -timeout="$(timeout_of "$name")" -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$build/artifacts/$name-" \
    "$build/corpus/$name" "$build/seeds/$name" >"$build/logs/$name.log" 2>&1
}

status=0
if [ "${FUZZ_PARALLEL:-0}" = 1 ]; then
  pids=""
  for t in $targets; do
    run_target "$t" &
    pids="$pids $!"
  done
  for p in $pids; do wait "$p" || status=1; done
else
  for t in $targets; do run_target "$t" || status=1; done
fi

total=0
for t in $targets; do
  log="$build/logs/$t.log"
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  runs=${runs:-0}
  total=$((total + runs))
  echo "fuzz $t: $runs runs, ${rate:-0}/s, corpus $(ls "$build/corpus/$t" | wc -l) inputs"
  if grep -q -E '^==[0-9]+==ERROR|^SUMMARY: |fuzz check failed|deadly signal' "$log"; then
    status=1
    echo "fuzz $t: FINDING, see $log and $build/artifacts/" >&2
    grep -E -m 5 'ERROR|SUMMARY|fuzz check failed|Test unit written' "$log" >&2 || true
  fi
done
echo "fuzz total: $total runs"
exit $status
