#!/bin/sh
# Builds the C libraries of the browser build with emcc, from Debian's own
# source packages, into OUT_DIR (include/ and lib/):
#   sh cmake/web-deps.sh OUT_DIR
# zlib decodes compressed projects exactly as the native programs' zlib
# does (same version, same messages); libpng is what qdpview's picture
# writer is built on, so that the page runs qdpview's own code. emscripten's
# ports of both would download their sources from elsewhere at first use.
#
# The sources come from `apt-get source` through a private apt folder
# (OUT_DIR/apt) whose only entry is a deb-src line made now from the
# machine's own apt sources: the same archive and components, for the
# release the machine runs. The system's apt set-up is neither read for
# anything else nor changed, and no archive's address is written down
# anywhere in the project. A finished OUT_DIR is kept: rebuilding the page
# fetches nothing.
set -eu
out=$1
[ -f "$out/lib/libz.a" ] && [ -f "$out/lib/libpng16.a" ] && exit 0
: "${EMCC:=emcc}"
: "${EMAR:=emar}"
export NODE_PATH="${NODE_PATH:-/usr/share/nodejs}"

apt="$out/apt"
rm -rf "$apt" "$out/src"
mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$out/src" "$out/include" "$out/lib"

# The release's own suite only (not its updates or security suites, nor
# other vendors' archives, which may have no sources): a deb-src line for
# every entry of /etc/apt that serves it, in either of apt's two formats.
. /etc/os-release
release=${VERSION_CODENAME:?the release name is not in /etc/os-release}
{
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    awk -v release="$release" '
      $1 == "deb" {
        options = ""; i = 2
        if ($2 ~ /^\[/) { while ($i !~ /\]$/) { options = options $i " "; i++ } options = options $i " "; i++ }
        if ($(i + 1) != release) next
        line = "deb-src " options $i " " $(i + 1)
        for (j = i + 2; j <= NF; j++) line = line " " $j
        print line
      }' "$f"
  done
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk -v release="$release" '
      function flush() {
        if (types ~ /(^| )deb( |$)/ && enabled != "no" && (" " suites " ") ~ (" " release " ")) {
          n = split(uris, u, " ")
          for (k = 1; k <= n; k++) {
            print "deb-src " (signed != "" ? "[signed-by=" signed "] " : "") u[k] " " release " " components
          }
        }
        types = uris = suites = components = signed = enabled = ""
      }
      /^[ \t]*$/ { flush(); next }
      /^#/ { next }
      /^[A-Za-z-]+:/ {
        key = tolower(substr($0, 1, index($0, ":") - 1))
        value = substr($0, index($0, ":") + 1)
        gsub(/^[ \t]+|[ \t]+$/, "", value)
        if (key == "types") types = value
        else if (key == "uris") uris = value
        else if (key == "suites") suites = value
        else if (key == "components") components = value
        else if (key == "signed-by" && value ~ /^\//) signed = value
        else if (key == "enabled") enabled = tolower(value)
      }
      END { flush() }' "$f"
  done
} >"$apt/sources.list"
if [ ! -s "$apt/sources.list" ]; then
  echo "cmake/web-deps.sh: no apt source for $release found in /etc/apt" >&2
  exit 1
fi

set -- -o Dir::Etc::SourceList="$apt/sources.list" -o Dir::Etc::SourceParts=/dev/null \
  -o Dir::State::Lists="$apt/lists" -o Dir::Cache="$apt/cache" -q
# As root, apt would hand the download to its own unprivileged user, who
# cannot write into a folder of the build tree.
[ "$(id -u)" -eq 0 ] && set -- "$@" -o APT::Sandbox::User=root
echo "cmake/web-deps.sh: fetching the sources of zlib and libpng with apt-get source" >&2
apt-get "$@" update >/dev/null
(cd "$out/src" && apt-get "$@" source zlib libpng1.6 >/dev/null)

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
rm -rf "$apt" "$out/src"
