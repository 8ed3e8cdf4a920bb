#!/bin/sh
# Whole-run speed of qdpext against the floor (bench/floor.c: read the
# input, inflate a container once, write the same bytes to the same side
# files). For the full-size plain project and its compressed form it runs
# `qdpext -sfmc` and the floor alternately and prints the median of the
# per-pair time ratios qdpext / floor. Target: 1.25 or less for both.
#   sh bench/compare_floor.sh [PAIRS]      (default 200)
# The runs work in a memory-backed folder (/dev/shm) where there is one:
# on a disk, rewriting the side files waits for the device and hides the
# program's own cost. BENCH_DIR=/some/folder measures there instead.
set -eu
cd "$(dirname "$0")/.."
pairs=${1:-200}
. bench/build.sh

base=${BENCH_DIR:-}
if [ -z "$base" ]; then
  if [ -d /dev/shm ] && [ -w /dev/shm ]; then base=/dev/shm; else base=${TMPDIR:-/tmp}; fi
fi
work=$(mktemp -d "$base/qdpbench-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/tmp"
"$make_inputs" "$work" >/dev/null
# The container's temporary files go to a folder of the run's own.
export TMPDIR="$work/tmp"
cd "$work"

status=0
for input in full.qdp full_z.qdp; do
  # The floor writes as many bytes to each side file as qdpext does.
  "$qdpext" -sfmc "$input"
  stem=${input%.qdp}
  sizes=""
  for ext in mic fnt scr tab col; do
    if [ -f "$stem.$ext" ]; then
      sizes="$sizes $(wc -c <"$stem.$ext")"
    else
      sizes="$sizes -"
    fi
  done
  line=$("$pair_timer" "$pairs" "$qdpext" -sfmc "$input" -- "$floor" "$input" $sizes)
  ratio=$(echo "$line" | sed 's/.*A\/B //')
  verdict=$(awk -v r="$ratio" 'BEGIN { print (r <= 1.25) ? "met" : "MISSED" }')
  [ "$verdict" = met ] || status=1
  echo "$input in $base (side files:$sizes): $line  target 1.25 $verdict"
  [ -z "$(ls "$TMPDIR")" ] || { echo "temporary files left behind" >&2; exit 1; }
done
exit $status
