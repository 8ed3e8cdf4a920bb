#!/bin/sh
# Builds the picture libraries of the Windows programs with the mingw-w64
# cross compiler, from Debian's own source packages, into OUT_DIR
# (include/ and lib/, static libraries only):
#   sh cmake/windows-deps.sh OUT_DIR TOOLCHAIN_FILE
# libpng and libjpeg-turbo are the versions the native programs use, so
# that qdpimport.exe decodes a picture to the same pixels; Debian ships
# neither for mingw-w64 (its zlib, libz-mingw-w64-dev, it does). The
# sources come from `apt-get source` (cmake/debian-sources.sh). A finished
# OUT_DIR is kept: rebuilding fetches nothing.
#
# libjpeg-turbo is built by its own CMake with the same toolchain file as
# the programs. Its SIMD code needs the nasm assembler: with nasm
# installed it is on, otherwise off (plain C, the same pixels, somewhat
# slower decoding).
set -eu
out=$1
toolchain=$2
[ -f "$out/lib/libpng16.a" ] && [ -f "$out/lib/libjpeg.a" ] && exit 0
: "${MINGW_CC:=x86_64-w64-mingw32-gcc-posix}"
: "${MINGW_AR:=x86_64-w64-mingw32-ar}"

rm -rf "$out/src"
mkdir -p "$out/src" "$out/include" "$out/lib"
sh "$(dirname "$0")/debian-sources.sh" "$out/src" libpng1.6 libjpeg-turbo

png=$(find "$out/src" -maxdepth 1 -type d -name 'libpng1.6-*' | head -n 1)
jpeg=$(find "$out/src" -maxdepth 1 -type d -name 'libjpeg-turbo-*' | head -n 1)
[ -n "$png" ] && [ -n "$jpeg" ] ||
  { echo "cmake/windows-deps.sh: apt-get source gave no libpng or libjpeg-turbo" >&2; exit 1; }

echo "cmake/windows-deps.sh: building $(basename "$png") with $MINGW_CC" >&2
# zlib's headers are those of libz-mingw-w64-dev, in the compiler's own tree.
cp "$png/scripts/pnglibconf.h.prebuilt" "$png/pnglibconf.h"
objects=""
for name in png pngerror pngget pngmem pngpread pngread pngrio pngrtran pngrutil pngset \
  pngtrans pngwio pngwrite pngwtran pngwutil; do
  "$MINGW_CC" -O2 -c "$png/$name.c" -o "$out/src/png-$name.o"
  objects="$objects $out/src/png-$name.o"
done
# $objects is split into its names on purpose.
# shellcheck disable=SC2086
"$MINGW_AR" rcs "$out/src/libpng16.a" $objects
cp "$png/png.h" "$png/pngconf.h" "$png/pnglibconf.h" "$out/include/"

simd=0
command -v nasm >/dev/null 2>&1 && simd=1
echo "cmake/windows-deps.sh: building $(basename "$jpeg") with $MINGW_CC (SIMD: $simd)" >&2
cmake -S "$jpeg" -B "$out/src/jpeg-build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$out/src/jpeg-install" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF \
  -DWITH_SIMD=$simd -DREQUIRE_SIMD=$simd >/dev/null
cmake --build "$out/src/jpeg-build" --target jpeg-static -j "${JOBS:-2}" >/dev/null
cp "$out/src/jpeg-build/jconfig.h" "$jpeg/jpeglib.h" "$jpeg/jmorecfg.h" "$jpeg/jerror.h" "$out/include/"

# The libraries go in place last, so that a build stopped part-way is
# started again, never taken for a finished one.
mv "$out/src/libpng16.a" "$out/lib/"
mv "$out/src/jpeg-build/libjpeg.a" "$out/lib/"
rm -rf "$out/src"
