#!/bin/sh
# Peak resident memory of `qdpext -sfmc` on the full-size plain project
# (width 48, 128 fonts, full tail), its compressed form, and a container
# whose stream decodes to 1 GiB, measured with GNU time. Target: under
# 8 MiB in every case.
#   sh bench/measure_memory.sh
set -eu
cd "$(dirname "$0")/.."
. bench/build.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/tmp"
"$make_inputs" "$work" --huge >/dev/null
export TMPDIR="$work/tmp"
cd "$work"

status=0
for input in full.qdp full_z.qdp huge_z.qdp; do
  code=0
  /usr/bin/time -v "$qdpext" -sfmc "$input" 2>time.log >/dev/null || code=$?
  kib=$(sed -n 's/.*Maximum resident set size (kbytes): *//p' time.log)
  seconds=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): *//p' time.log)
  verdict=$(awk -v k="$kib" 'BEGIN { print (k < 8192) ? "met" : "MISSED" }')
  [ "$verdict" = met ] && [ "$code" -eq 0 ] || status=1
  printf '%-11s exit %d  peak RSS %6d KiB (%.2f MiB)  wall %s  target < 8 MiB %s\n' \
    "$input" "$code" "$kib" "$(awk -v k="$kib" 'BEGIN { print k / 1024 }')" "$seconds" "$verdict"
  [ -z "$(ls "$TMPDIR")" ] || { echo "temporary files left behind" >&2; exit 1; }
done
exit $status
