#!/bin/sh
# Whole-run speed of qdpview against qdpext on the full-size plain project
# (width 48, 128 fonts). It runs `qdpview -o DIR full.qdp` (both pictures
# and the summary), then `qdpview --no-images full.qdp` (the summary
# alone), each alternately with `qdpext -m full.qdp`, and prints the median
# of the per-pair time ratios qdpview / qdpext. Target: 1.5 or less.
#   sh bench/compare_view.sh [PAIRS]      (default 200)
# As compare_floor.sh, the runs work in /dev/shm where there is one;
# BENCH_DIR=/some/folder measures there instead. The summaries go to a
# file in the same folder.
set -eu
cd "$(dirname "$0")/.."
pairs=${1:-200}
. bench/build.sh
cmake --build --preset bench -j 2 --target qdpview >/dev/null
qdpview=$(pwd)/$bench_build/view/qdpview
[ -x "$qdpview" ] || { echo "qdpview was not built (it needs libpng-dev and nlohmann-json3-dev)" >&2; exit 1; }

base=${BENCH_DIR:-}
if [ -z "$base" ]; then
  if [ -d /dev/shm ] && [ -w /dev/shm ]; then base=/dev/shm; else base=${TMPDIR:-/tmp}; fi
fi
work=$(mktemp -d "$base/qdpbench-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/tmp" "$work/pictures"
"$make_inputs" "$work" >/dev/null
export TMPDIR="$work/tmp"
cd "$work"

status=0
compare() {
  label=$1
  shift
  # The timer's own line comes last, after the summaries of the runs.
  "$pair_timer" "$pairs" "$@" -- "$qdpext" -m full.qdp >"$work/timer.out"
  line=$(tail -n 1 "$work/timer.out")
  ratio=$(echo "$line" | sed 's/.*A\/B //')
  verdict=$(awk -v r="$ratio" 'BEGIN { print (r <= 1.5) ? "met" : "MISSED" }')
  [ "$verdict" = met ] || status=1
  echo "$label against qdpext -m, full.qdp in $base: $line  target 1.5 $verdict"
}
compare "qdpview -o DIR" "$qdpview" -o pictures full.qdp
compare "qdpview --no-images" "$qdpview" --no-images full.qdp
[ -z "$(ls "$TMPDIR")" ] || { echo "temporary files left behind" >&2; exit 1; }
exit $status
