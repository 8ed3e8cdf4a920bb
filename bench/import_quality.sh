#!/bin/sh
# The import's error and time on the photographs of Debian's
# gnome-backgrounds package (installed here when missing, never kept in
# the repository), each fitted to 320 x 240, beside a crude importer's
# error and the anchors of the error metric.
#   sh bench/import_quality.sh [--runs N] [--dither none|ordered|diffusion]
#                              [--fonts N] [--max-changes N] [--mode M]
# Times are the median of the runs (5 by default) in the optimised build
# (preset ci), as wall-clock time and as processor time: on a machine busy
# with other work the second is the fairer.
set -eu
cd "$(dirname "$0")/.."
sh tools/ensure-deps bench
if ! dpkg-query -W -f '${Status}' gnome-backgrounds 2>/dev/null | grep -q 'ok installed'; then
  apt-get install -y gnome-backgrounds >/dev/null
fi
cmake --preset ci >/dev/null
cmake --build --preset ci -j 2 --target import_quality >/dev/null
# The package's raster pictures; the few tiny ones are single colours, not
# photographs.
photos=$(find /usr/share/backgrounds/gnome -type f \( -name '*.webp' -o -name '*.jpg' -o -name '*.png' \) -size +10k | sort)
[ -n "$photos" ] || { echo "no photographs found in /usr/share/backgrounds/gnome" >&2; exit 1; }
# shellcheck disable=SC2086
build-ci/bench/import_quality "$@" $photos
