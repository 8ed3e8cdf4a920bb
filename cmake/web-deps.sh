#!/bin/sh
# Builds the C libraries of the browser build with emcc, from Debian's own
# source packages, into OUT_DIR (include/ and lib/):
#   sh cmake/web-deps.sh OUT_DIR
# zlib decodes compressed projects exactly as the native programs' zlib
# does (same version, same messages); libpng is what qdpview's picture
# writer is built on, so that the page runs qdpview's own code. emscripten's
# ports of both would download their sources from elsewhere at first use.
#
# The sources come from `apt-get source` (cmake/debian-sources.sh). A
# finished OUT_DIR is kept: rebuilding the page fetches nothing.
set -eu
out=$1
[ -f "$out/lib/libz.a" ] && [ -f "$out/lib/libpng16.a" ] && exit 0
: "${EMCC:=emcc}"
: "${EMAR:=emar}"
export NODE_PATH="${NODE_PATH:-/usr/share/nodejs}"

rm -rf "$out/src"
mkdir -p "$out/src" "$out/include" "$out/lib"
sh "$(dirname "$0")/debian-sources.sh" "$out/src" zlib libpng1.6

flags="-O2"
zlib=$(find "$out/src" -maxdepth 1 -type d -name 'zlib-*' | head -n 1)
png=$(find "$out/src" -maxdepth 1 -type d -name 'libpng1.6-*' | head -n 1)
[ -n "$zlib" ] && [ -n "$png" ] || { echo "cmake/web-deps.sh: apt-get source gave no zlib or libpng" >&2; exit 1; }

echo "cmake/web-deps.sh: building $(basename "$zlib") and $(basename "$png") with $EMCC" >&2
objects=""
for name in adler32 compress crc32 deflate infback inffast inflate inftrees trees uncompr zutil \
  gzclose gzlib gzread gzwrite; do
  # As zlib's own configure finds on this system: gzip file access needs
  # the declarations of unistd.h.
  "$EMCC" $flags -DHAVE_UNISTD_H -c "$zlib/$name.c" -o "$out/src/z-$name.o"
  objects="$objects $out/src/z-$name.o"
done
"$EMAR" rcs "$out/src/libz.a" $objects
cp "$zlib/zlib.h" "$zlib/zconf.h" "$out/include/"

cp "$png/scripts/pnglibconf.h.prebuilt" "$png/pnglibconf.h"
objects=""
for name in png pngerror pngget pngmem pngpread pngread pngrio pngrtran pngrutil pngset \
  pngtrans pngwio pngwrite pngwtran pngwutil; do
  "$EMCC" $flags -I"$out/include" -c "$png/$name.c" -o "$out/src/png-$name.o"
  objects="$objects $out/src/png-$name.o"
done
"$EMAR" rcs "$out/src/libpng16.a" $objects
cp "$png/png.h" "$png/pngconf.h" "$png/pnglibconf.h" "$out/include/"

# The libraries go in place last, so that a build stopped part-way is
# started again, never taken for a finished one.
mv "$out/src/libz.a" "$out/src/libpng16.a" "$out/lib/"
rm -rf "$out/src"
