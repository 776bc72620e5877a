#!/usr/bin/env bash
# Runs the Windows tarvel-host under Wine and requires the very same trace files as on Linux.
#   wine_traces.sh golden    SOURCE_DIR WINDOWS_BIN OUT_DIR
#       every tests/scenes/NAME.json through tarvel-host.exe, against tests/golden/NAME.trace.json
#   wine_traces.sh example   SOURCE_DIR WINDOWS_BIN OUT_DIR LINUX_BIN
#       the bundled example through both hosts: the same trace and the same summary
#   wine_traces.sh generated SOURCE_DIR WINDOWS_BIN OUT_DIR LINUX_BIN [PER_KIND]
#       scenes written by the Linux tarvel-scenes, each run by the Linux tarvel-host and, in one
#       Wine process, by tarvel-trace-batch.exe (tarvel-host's program at 53-bit x87 precision)
# WINDOWS_BIN and LINUX_BIN are the folders holding each build's tarvel-host and tarvel.p.
# Wine is run through wine.sh beside this script; WINEPREFIX names the prefix.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
mode="$1"
source_dir="$2"
windows_bin="$3"
out="$4"
wine=(bash "$here/wine.sh")

compared=0
different=0
# Compares two trace files byte for byte; on a difference shows the first differing line.
compare() {
  local expected="$1" actual="$2" what="$3"
  compared=$((compared + 1))
  if ! cmp -s "$expected" "$actual"; then
    different=$((different + 1))
    if [ "$different" -le 10 ]; then
      echo "DIFFERENT: $what ($actual against $expected)"
      diff "$expected" "$actual" | head -6 | sed 's/^/    /'
    fi
  fi
}

# Runs a host program; exit code 3 (the tool stopped, nothing changed) is a run like any other.
host_run() {
  local code=0
  "$@" || code=$?
  [ "$code" -eq 0 ] || [ "$code" -eq 3 ]
}

finish() {
  echo "$mode: $compared traces compared, $different different"
  [ "$different" -eq 0 ] && [ "$compared" -gt 0 ]
}

need_linux_host() {
  if [ ! -x "$1/tarvel-host" ] || [ ! -f "$1/tarvel.p" ]; then
    echo "no Linux tarvel-host and tarvel.p in $1: build the Linux tree first (TARVEL_NATIVE_BUILD_DIR)" >&2
    exit 1
  fi
}

rm -rf "$out"
mkdir -p "$out"
case "$mode" in
  golden)
    for scene in "$source_dir"/tests/scenes/*.json; do
      name="$(basename "$scene" .json)"
      host_run "${wine[@]}" "$windows_bin/tarvel-host.exe" "$scene" --trace "$out/$name.trace.json" ||
        echo "tarvel-host.exe failed on $scene (exit $?)"
      compare "$source_dir/tests/golden/$name.trace.json" "$out/$name.trace.json" "$name"
    done
    finish
    ;;
  example)
    linux_bin="$5"
    need_linux_host "$linux_bin"
    scene="$source_dir/examples/facing_grids.json"
    host_run "$linux_bin/tarvel-host" "$scene" --trace "$out/linux.trace.json"
    host_run "$linux_bin/tarvel-host" "$scene" >"$out/linux.summary.txt"
    host_run "${wine[@]}" "$windows_bin/tarvel-host.exe" "$scene" --trace "$out/wine.trace.json"
    # A Windows console program ends its lines with CR LF.
    "${wine[@]}" "$windows_bin/tarvel-host.exe" "$scene" | tr -d '\r' >"$out/wine.summary.txt" ||
      echo "tarvel-host.exe failed on $scene"
    compare "$out/linux.trace.json" "$out/wine.trace.json" "example trace"
    compare "$out/linux.summary.txt" "$out/wine.summary.txt" "example summary"
    cat "$out/wine.summary.txt"
    finish
    ;;
  generated)
    linux_bin="$5"
    per_kind="${6:-100}"
    need_linux_host "$linux_bin"
    "$linux_bin/testing/scenes/tarvel-scenes" "$out/scenes" "$per_kind"
    mkdir -p "$out/linux"
    for scene in "$out"/scenes/*.json; do
      host_run "$linux_bin/tarvel-host" "$scene" --trace "$out/linux/$(basename "$scene" .json).trace.json"
    done
    "${wine[@]}" "$windows_bin/tarvel-trace-batch.exe" "$out/scenes" "$out/wine" | tr -d '\r' ||
      echo "tarvel-trace-batch.exe failed"
    for expected in "$out"/linux/*.trace.json; do
      compare "$expected" "$out/wine/$(basename "$expected")" "$(basename "$expected" .trace.json)"
    done
    finish
    ;;
  *)
    echo "unknown mode '$mode'" >&2
    exit 2
    ;;
esac
