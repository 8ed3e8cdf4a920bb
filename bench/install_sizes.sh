#!/bin/sh
# What each purpose of tools/ensure-deps installs on a bare Debian system,
# measured without installing anything, on any Debian machine whose apt
# lists are current (run `apt-get update` first):
#   sh bench/install_sizes.sh [PURPOSE[:AFTER]...]
# PURPOSE:AFTER measures what PURPOSE adds once AFTER's packages are there
# (web:webserve, what `sh tools/test web` adds after `sh tools/web`). The
# default measures demo, tests, webserve, webserve:demo, web and web:webserve.
# The bare system is every package of priority "required" and apt, as a
# minimal Debian installation (debootstrap's minbase) or Debian's container
# image holds. apt is pointed at a status file listing those alone, then
# asked to simulate `apt-get install --no-install-recommends` of the
# purpose's packages; the script adds up the Size (download) and
# Installed-Size (on disk) that the archive gives for every package that
# would be installed. The machine's own packages play no part, except that
# node and npm count as missing, as on a bare system.
set -eu
cd "$(dirname "$0")/.."
[ $# -gt 0 ] || set -- demo tests webserve webserve:demo web web:webserve
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
: >"$work/status"
opts="-o Dir::State::status=$work/status -o Dir::State::extended_states=$work/extended"
opts="$opts -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache= -o Debug::NoLocking=1"

# The packages apt would install on the system of $work/status, as
# NAME=VERSION, one a line.
would_install() {
  # shellcheck disable=SC2086
  apt-get $opts -s -q install --no-install-recommends "$@" 2>/dev/null |
    awk '$1 == "Inst" { v = $3; gsub(/[()]/, "", v); print $2 "=" v }'
}

# Writes $work/status: the installed packages are those NAME=VERSION lines
# in the files given.
write_status() {
  # shellcheck disable=SC2046,SC2086
  apt-cache $opts show $(cat "$@") |
    awk '/^Package:/ { print; print "Status: install ok installed"; next } { print }' >"$work/new"
  mv "$work/new" "$work/status"
}

# The packages a purpose names, as on a bare system: node and npm are
# missing there, and with no PATH tools/ensure-deps cannot find them here
# either.
purpose_packages() { env PATH=/nonexistent /bin/sh tools/ensure-deps --list "$1"; }

# The bare system.
required=$(apt-cache dumpavail | awk '/^Package:/ { p = $2 } /^Priority: required$/ { print p }' |
  sort -u)
# shellcheck disable=SC2086
would_install $required apt >"$work/base"
write_status "$work/base"
echo "bare system: $(wc -l <"$work/base") packages (priority required, and apt)"

for measured in "$@"; do
  purpose=${measured%%:*}
  after=""
  [ "$purpose" = "$measured" ] || after=${measured#*:}
  write_status "$work/base"
  : >"$work/after"
  if [ -n "$after" ]; then
    # shellcheck disable=SC2046
    would_install $(purpose_packages "$after") >"$work/after"
    [ -s "$work/after" ] && write_status "$work/base" "$work/after"
  fi
  # shellcheck disable=SC2046
  would_install $(purpose_packages "$purpose") >"$work/adds"
  sizes="0 0"
  if [ -s "$work/adds" ]; then
    # shellcheck disable=SC2046,SC2086
    sizes=$(apt-cache $opts show $(cat "$work/adds") |
      awk '/^Size:/ { s += $2 } /^Installed-Size:/ { i += $2 } END { print s + 0, i + 0 }')
  fi
  # Sizes in MB (10^6 bytes), as apt prints them; Installed-Size is in KiB.
  printf '%-13s %4d packages, %5d MB to download, %5d MB on disk\n' "$measured" \
    "$(wc -l <"$work/adds")" "$((${sizes% *} / 1000000))" "$((${sizes#* } * 1024 / 1000000))"
done
