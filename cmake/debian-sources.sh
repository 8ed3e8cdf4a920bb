#!/bin/sh
# Fetches and unpacks Debian source packages with `apt-get source`, for the
# builds that compile C libraries themselves (the page with emcc, the
# Windows programs with mingw-w64):
#   sh cmake/debian-sources.sh DIR PACKAGE...
# Each package is unpacked into DIR (DIR/PACKAGE-VERSION/).
#
# The sources come through a private apt folder (DIR/apt, removed after)
# whose only entry is a deb-src line made now from the machine's own apt
# sources: the same archive and components, for the release the machine
# runs. The system's apt set-up is neither read for anything else nor
# changed, and no archive's address is written down anywhere in the
# project.
set -eu
[ $# -ge 2 ] || { echo "usage: cmake/debian-sources.sh DIR PACKAGE..." >&2; exit 2; }
# Absolute, since apt is given paths below it from another folder.
mkdir -p "$1"
dir=$(cd "$1" && pwd)
shift
apt="$dir/apt"
rm -rf "$apt"
mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial"

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
  echo "cmake/debian-sources.sh: no apt source for $release found in /etc/apt" >&2
  exit 1
fi

packages="$*"
set -- -o Dir::Etc::SourceList="$apt/sources.list" -o Dir::Etc::SourceParts=/dev/null \
  -o Dir::State::Lists="$apt/lists" -o Dir::Cache="$apt/cache" -q
# As root, apt would hand the download to its own unprivileged user, who
# cannot write into a folder of the build tree.
[ "$(id -u)" -eq 0 ] && set -- "$@" -o APT::Sandbox::User=root
echo "cmake/debian-sources.sh: fetching the sources of $packages with apt-get source" >&2
apt-get "$@" update >/dev/null
# $packages is split into its names on purpose.
# shellcheck disable=SC2086
(cd "$dir" && apt-get "$@" source $packages >/dev/null)
rm -rf "$apt"
