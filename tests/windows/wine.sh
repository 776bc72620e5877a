#!/usr/bin/env bash
# Runs Windows programs under Wine, headless, in the Wine prefix named by WINEPREFIX.
#   wine.sh start         create the prefix if needed and leave a wine server running
#   wine.sh stop          end that server and every process of the prefix
#   wine.sh PROGRAM ARGS  run a program; its exit code is wine's
# Start the server before the first program: Wine's background processes would otherwise
# inherit the first program's output pipes, and whoever reads them (ctest) would wait forever.
set -euo pipefail
: "${WINEPREFIX:?set WINEPREFIX to the Wine prefix folder}"
export WINEPREFIX
export HOME="${HOME:-$WINEPREFIX}"  # Wine wants one, and CI may give none
export WINEDEBUG=-all
# No .NET or HTML engine to offer to install, no debugger to start on a crash.
export WINEDLLOVERRIDES="mscoree,mshtml,winedbg.exe="
unset DISPLAY WAYLAND_DISPLAY

case "${1:-}" in
  start)
    mkdir -p "$WINEPREFIX"
    wineserver -p </dev/null >/dev/null 2>&1
    wine wineboot </dev/null >/dev/null 2>&1
    ;;
  stop)
    wineserver -k </dev/null >/dev/null 2>&1 || true
    ;;
  "")
    echo "usage: wine.sh start | stop | PROGRAM [ARGS...]" >&2
    exit 2
    ;;
  *)
    exec wine "$@"
    ;;
esac
