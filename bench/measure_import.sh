#!/bin/sh
# qdpimport's time and memory, measured on pictures drawn by code:
#   - the median wall time of 21 imports of the 320 x 240 landscape with
#     default options, and of 5 with --fonts 4 (targets: under 150 ms and
#     under 1 s);
#   - the peak resident memory of --fit on pictures from 1600 x 1200 up to
#     16384 x 16384, PNG and JPEG, which must stay bounded whatever the size;
#     a progressive JPEG keeps all its coefficients, so one of 4096 x 4096
#     takes more, and one of 8192 x 8192 is refused.
#   sh bench/measure_import.sh
set -eu
cd "$(dirname "$0")/.."
sh tools/ensure-deps bench demo
cmake --preset bench >/dev/null
cmake --build --preset bench -j 2 --target qdpimport make_import_picture >/dev/null
qdpimport=$(pwd)/build-bench/importer/qdpimport
make_picture=$(pwd)/build-bench/examples/make_import_picture
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$make_picture" scene.png

# The median of N runs of a command, in milliseconds.
median_ms() {
  n=$1
  shift
  i=0
  while [ $i -lt "$n" ]; do
    start=$(date +%s%N)
    "$@" >/dev/null
    end=$(date +%s%N)
    echo $(((end - start) / 1000))
    i=$((i + 1))
  done | sort -n | awk '{ v[NR] = $1 } END { printf "%.1f", v[int((NR + 1) / 2)] / 1000 }'
}
printf '320 x 240, default options:  median %s ms (target < 150)\n' \
  "$(median_ms 21 "$qdpimport" -q -o out.qdp scene.png)"
printf '320 x 240, --fonts 4:        median %s ms (target < 1000)\n' \
  "$(median_ms 5 "$qdpimport" -q --fonts 4 -o out.qdp scene.png)"

for size in "1600 1200" "4096 3072" "16384 16384"; do
  set -- $size
  for ext in png jpg; do
    "$make_picture" "big.$ext" "$1" "$2"
    /usr/bin/time -v "$qdpimport" -q --fit -o big.qdp "big.$ext" 2>time.log >/dev/null
    kib=$(sed -n 's/.*Maximum resident set size (kbytes): *//p' time.log)
    wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): *//p' time.log)
    printf '%5d x %5d %s, --fit:  peak RSS %6d KiB (%.1f MiB)  wall %s\n' "$1" "$2" "$ext" \
      "$kib" "$(awk -v k="$kib" 'BEGIN { print k / 1024 }')" "$wall"
    rm -f "big.$ext"
  done
done
for side in 4096 8192; do
  "$make_picture" prog.jpg "$side" "$side" progressive
  code=0
  /usr/bin/time -v "$qdpimport" -q --fit -o big.qdp prog.jpg 2>time.log >/dev/null || code=$?
  kib=$(sed -n 's/.*Maximum resident set size (kbytes): *//p' time.log)
  printf '%5d x %5d progressive jpg, --fit:  exit %d  peak RSS %6d KiB (%.1f MiB)\n' "$side" \
    "$side" "$code" "$kib" "$(awk -v k="$kib" 'BEGIN { print k / 1024 }')"
done
