#!/usr/bin/env bash
# Runs Windows programs under Wine, headless, in the Wine prefix named by WINEPREFIX.
#   wine.sh start         create the prefix if needed and leave a wine server running
#   wine.sh stop          end that server and every process of the prefix
#   wine.sh PROGRAM ARGS  run a program; its exit code is wine's
# Start the server before the first program: Wine's background processes would otherwise
# inherit the first program's output pipes, and whoever reads them (ctest) would wait forever.
# The prefix is a 64-bit one, which runs 32-bit and 64-bit programs alike (a 32-bit prefix runs
# no 64-bit program). A 32-bit prefix that the tests made earlier, with a Wine that had no 64-bit
# half, is made anew; any other is left alone and refused.
set -euo pipefail
: "${WINEPREFIX:?set WINEPREFIX to the Wine prefix folder}"
export WINEPREFIX
export WINEARCH=win64
export HOME="${HOME:-$WINEPREFIX}"  # Wine wants one, and CI may give none
export WINEDEBUG=-all
# No .NET or HTML engine to offer to install, no debugger to start on a crash.
export WINEDLLOVERRIDES="mscoree,mshtml,winedbg.exe="
unset DISPLAY WAYLAND_DISPLAY

case "${1:-}" in
  start)
    arch="$(sed -n 's/^#arch=//p' "$WINEPREFIX/system.reg" 2>/dev/null || true)"
    if [ -n "$arch" ] && [ "$arch" != win64 ]; then
      case "$WINEPREFIX" in
        */wine-prefix)
          echo "wine.sh: $WINEPREFIX was made for $arch alone: making it anew for win64" >&2
          WINEARCH="$arch" wineserver -k </dev/null >/dev/null 2>&1 || true
          rm -rf "$WINEPREFIX"
          ;;
        *)
          echo "wine.sh: $WINEPREFIX is a $arch Wine prefix; the tests need a win64 one" >&2
          exit 1
          ;;
      esac
    fi
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
