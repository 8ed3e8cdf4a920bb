#!/bin/sh
# Shows that qdpext.exe (run under wine) and the native qdpext do the same:
# for every input, the same side files byte for byte, the same standard
# output, the same standard error apart from the module name ("qdpext.exe"
# for "qdpext") and the same exit status. The inputs: the demo projects,
# the fuzz seeds, the regression files (tests/regressions/, when there)
# and a project for every value of header byte 1.
#   sh tests/windows_equivalence.sh NATIVE_BUILD WORK_DIR WINDOWS_COMMAND...
# NATIVE_BUILD is a native build folder (preset ci) with qdpext,
# tests/make_seeds and tests/make_header_variants built; WINDOWS_COMMAND
# runs qdpext.exe, e.g. "wine build-windows/qdpext.exe". CTest runs it in
# the windows preset (test WindowsEquivalence).
set -eu
[ $# -ge 3 ] || { echo "usage: windows_equivalence.sh NATIVE_BUILD WORK_DIR WINDOWS_COMMAND..." >&2; exit 2; }
native_build=$(cd "$1" && pwd)
work=$2
shift 2
source_dir=$(cd "$(dirname "$0")/.." && pwd)

rm -rf "$work"
mkdir -p "$work/inputs" "$work/seeds"
work=$(cd "$work" && pwd)
for f in "$source_dir"/examples/*.qdp; do cp "$f" "$work/inputs/example-$(basename "$f")"; done
"$native_build/tests/make_seeds" "$work/seeds" >/dev/null
for kind in job container; do
  for f in "$work/seeds/$kind"/*; do cp "$f" "$work/inputs/seed-$kind-$(basename "$f")"; done
done
if [ -d "$source_dir/tests/regressions" ]; then
  for f in "$source_dir"/tests/regressions/*; do
    [ -f "$f" ] && cp "$f" "$work/inputs/regression-$(basename "$f")"
  done
fi
"$native_build/tests/make_header_variants" "$work/inputs"

# Runs one side ($1: native or windows) on input $2 in its own folder;
# the rest of the arguments are the command.
run() {
  side=$1
  input=$2
  shift 2
  dir=$work/run/$side
  rm -rf "$dir"
  mkdir -p "$dir/files"
  cp "$input" "$dir/files/pic.qdp"
  status=0
  (cd "$dir/files" && "$@" -smfc pic.qdp >"$dir/out" 2>"$dir/err") || status=$?
  echo "$status" >"$dir/status"
}

count=0
differ=0
: >"$work/statuses"
for input in "$work"/inputs/*; do
  count=$((count + 1))
  run native "$input" "$native_build/qdpext"
  run windows "$input" "$@"
  sed 's/ in module qdpext\.exe at / in module qdpext at /' "$work/run/windows/err" >"$work/run/windows/err.native"
  mv "$work/run/windows/err.native" "$work/run/windows/err"
  cat "$work/run/native/status" >>"$work/statuses"
  if ! diff -r "$work/run/native" "$work/run/windows" >"$work/diff" 2>&1; then
    differ=$((differ + 1))
    echo "DIFFERS: $(basename "$input")"
    head -5 "$work/diff"
  fi
done
statuses=$(sort -n "$work/statuses" | uniq -c | awk '{printf "%s%s x status %s", sep, $1, $2; sep = ", "}')
echo "windows equivalence: $count inputs ($statuses), $differ differ"
[ "$differ" -eq 0 ]
