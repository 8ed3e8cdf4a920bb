#!/bin/sh
# Starts or stops the wineserver that the Windows build's tests share
# (WINEPREFIX and WINEDEBUG come from the caller).
#   sh cmake/wine-session.sh start WINESERVER WINE PROGRAM.exe
#   sh cmake/wine-session.sh stop WINESERVER
# A wineserver keeps every descriptor of the process that started it, so
# this one is started with nothing but /dev/null: a test that reads a
# program's output through a pipe then sees the pipe close as soon as the
# program ends. "-p" keeps it up between tests.
set -u
action=$1
server=$2
case "$action" in
  start)
    wine=$3
    program=$4
    mkdir -p "$WINEPREFIX"
    # A server left from an earlier run (the build's test discovery starts
    # one) would not keep the tests' pipes free.
    "$server" -k </dev/null >/dev/null 2>&1
    "$server" -p </dev/null >/dev/null 2>&1 || exit 1
    # The first program run makes the prefix, and starts wine's own
    # services, which keep that run's descriptors as the server does: so it
    # is done here, with nothing but /dev/null, and no test pays for it.
    # Without arguments the program prints its usage text and exits with
    # status 2.
    "$wine" "$program" </dev/null >/dev/null 2>&1
    [ $? -eq 2 ] || { echo "$program did not run under $wine" >&2; exit 1; }
    ;;
  stop)
    "$server" -k </dev/null >/dev/null 2>&1
    exit 0
    ;;
  *)
    echo "usage: wine-session.sh start|stop WINESERVER [WINE PROGRAM]" >&2
    exit 2
    ;;
esac
