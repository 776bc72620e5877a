#!/usr/bin/env bash
# Each Windows tarvel-host loads only the module file of its own width, as a 32-bit or a 64-bit
# modeller does: given the other build's tarvel.p it must refuse it, with exit code 1, a message
# that says which kind of file it needs, and no trace written; given its own it must run.
#   wrong_width.sh SOURCE_DIR WINDOWS32_BIN WINDOWS64_BIN OUT_DIR BITS
# BITS (32 or 64) picks the host tried. The 32-bit one also runs the 64-bit host on its own
# module and requires the two traces to be the same.
# Wine is run through wine.sh beside this script; WINEPREFIX names the prefix.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source_dir="$1"
bin32="$2"
bin64="$3"
out="$4"
bits_tried="$5"
wine=(bash "$here/wine.sh")
scene="$source_dir/examples/facing_grids.json"
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

rm -rf "$out"
mkdir -p "$out"
for pair in "32 $bin32 $bin64" "64 $bin64 $bin32"; do
  read -r bits own other <<<"$pair"
  [ "$bits" = "$bits_tried" ] || continue
  for file in "$own/tarvel-host.exe" "$own/tarvel.p" "$other/tarvel.p"; do
    [ -f "$file" ] || { echo "FAIL: $file missing: build both Windows trees first"; exit 1; }
  done
  "${wine[@]}" "$own/tarvel-host.exe" "$scene" --module "$other/tarvel.p" \
    --trace "$out/wrong$bits.trace.json" >"$out/wrong$bits.out" 2>"$out/wrong$bits.err"
  status=$?
  message="$(tr -d '\r' <"$out/wrong$bits.err")"
  echo "$bits-bit host, other module: exit $status: $message"
  [ "$status" -eq 1 ] || fail "the $bits-bit host given the other module exits with $status, not 1"
  grep -q "not a plug-in module: cannot load (error 193): not a $bits-bit Windows DLL" \
    <<<"$message" || fail "the $bits-bit host's refusal does not say it needs a $bits-bit DLL"
  [ ! -e "$out/wrong$bits.trace.json" ] || fail "the $bits-bit host wrote a trace for a refused module"

  "${wine[@]}" "$own/tarvel-host.exe" "$scene" --module "$own/tarvel.p" \
    --trace "$out/own$bits.trace.json" >/dev/null 2>&1 ||
    fail "the $bits-bit host refuses its own module"
done
if [ "$bits_tried" = 32 ]; then
  "${wine[@]}" "$bin64/tarvel-host.exe" "$scene" --module "$bin64/tarvel.p" \
    --trace "$out/own64.trace.json" >/dev/null 2>&1 || fail "the 64-bit host refuses its own module"
  cmp -s "$out/own32.trace.json" "$out/own64.trace.json" ||
    fail "the 32-bit and the 64-bit run of the example give different traces"
fi
exit $((failures > 0))
