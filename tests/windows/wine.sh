#!/usr/bin/env bash
# Runs Windows programs under Wine, headless, in the Wine prefix named by WINEPREFIX.
#   wine.sh start         create the prefix if needed, leave a wine server running, and count
#                         the caller (its parent process: ctest) among the prefix's users
#   wine.sh stop          take the caller off that count; once no user is left (or alive), end
#                         the server and every process of the prefix
#   wine.sh PROGRAM ARGS  run a program; its exit code is wine's
# Start the server before the first program: Wine's background processes would otherwise
# inherit the first program's output pipes, and whoever reads them (ctest) would wait forever.
#
# The prefix is a 64-bit one, which runs 32-bit and 64-bit programs alike, so the 32-bit and the
# 64-bit Windows build share it (one prefix is 1.3 GB and takes 15 to 25 s to make). The count
# lets both builds' tests run at once: the first to finish does not end the other's programs.
# A 32-bit prefix that the tests made earlier (a Wine without its 64-bit half makes one) is
# made anew; any other 32-bit prefix is left alone and refused.
set -euo pipefail
: "${WINEPREFIX:?set WINEPREFIX to the Wine prefix folder}"
export WINEPREFIX="${WINEPREFIX%/}"
export WINEARCH=win64
export HOME="${HOME:-$WINEPREFIX}"  # Wine wants one, and CI may give none
export WINEDEBUG=-all
# No .NET or HTML engine to offer to install, no debugger to start on a crash.
export WINEDLLOVERRIDES="mscoree,mshtml,winedbg.exe="
unset DISPLAY WAYLAND_DISPLAY
here="$(cd "$(dirname "$0")" && pwd)"

# Debian's wine starts every program through Wine's 32-bit loader when wine32 is installed,
# which a kernel that runs no 32-bit programs refuses: there the 64-bit loader is used directly,
# so the 64-bit programs still run.
wine=(wine)
if [ -x /usr/lib/wine/wine64 ] && ! bash "$here/../../scripts/runs_32bit_programs.sh" >/dev/null; then
  export WINELOADER=/usr/lib/wine/wine64
  wine=(/usr/lib/wine/wine64)
fi

users="$WINEPREFIX.users"
# Holds the prefix's lock (beside it) until this script ends.
lock() {
  mkdir -p "$(dirname "$WINEPREFIX")"
  exec 9>"$WINEPREFIX.lock"
  flock 9
}
# Forgets users whose process has ended (a test run that was interrupted before its stop).
prune_users() {
  local entry
  for entry in "$users"/*; do
    [ -e "$entry" ] || continue
    kill -0 "$(basename "$entry")" 2>/dev/null || rm -f "$entry"
  done
}

case "${1:-}" in
  start)
    lock
    prune_users
    arch="$(sed -n 's/^#arch=//p' "$WINEPREFIX/system.reg" 2>/dev/null || true)"
    if [ -n "$arch" ] && [ "$arch" != win64 ]; then
      case "$WINEPREFIX" in
        */wine-prefix)
          echo "wine.sh: $WINEPREFIX was made for $arch alone: making it anew for win64" >&2
          WINEARCH="$arch" wineserver -k </dev/null >/dev/null 2>&1 9>&- || true
          rm -rf "$WINEPREFIX"
          ;;
        *)
          echo "wine.sh: $WINEPREFIX is a $arch Wine prefix; the tests need a win64 one" >&2
          exit 1
          ;;
      esac
    fi
    mkdir -p "$WINEPREFIX" "$users"
    # Neither the server nor the processes that wineboot leaves running may hold the lock.
    # (Fails when the server runs already, for another user.)
    wineserver -p </dev/null >/dev/null 2>&1 9>&- || true
    "${wine[@]}" wineboot </dev/null >/dev/null 2>&1 9>&-
    touch "$users/$PPID"
    ;;
  stop)
    lock
    rm -f "$users/$PPID"
    prune_users
    if [ -z "$(ls -A "$users" 2>/dev/null)" ]; then
      wineserver -k </dev/null >/dev/null 2>&1 9>&- || true
    fi
    ;;
  "")
    echo "usage: wine.sh start | stop | PROGRAM [ARGS...]" >&2
    exit 2
    ;;
  *)
    exec "${wine[@]}" "$@"
    ;;
esac
