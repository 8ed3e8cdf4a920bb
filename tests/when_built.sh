#!/bin/sh
# Runs COMMAND when NEEDED (a program of another build) is there; else ends
# with status 77, which CTest reports as a skipped test.
#   sh tests/when_built.sh NEEDED COMMAND [ARGS...]
needed=$1
shift
if [ ! -x "$needed" ]; then
  echo "$needed is not built: build the native preset ci first (sh tools/test windows does)"
  exit 77
fi
exec "$@"
