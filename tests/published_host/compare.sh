#!/usr/bin/env bash
# Runs the module in the C host that shares none of its headers (published_host.c) and through
# `tarvel run`, on the same meshes, and requires the same edit from both: the same links in the
# same order with the same tags, the same removals, the same messages and the same result.
#   compare.sh OUT_DIR TARVEL PUBLISHED_HOST MODULE_FILE MESH.obj...
# With WINE_SCRIPT set, the host (a Windows program) runs through that script under Wine.
set -uo pipefail
out="$1"
tarvel="$2"
host="$3"
module="$4"
shift 4
runner=()
[ -z "${WINE_SCRIPT:-}" ] || runner=(bash "$WINE_SCRIPT")
rm -rf "$out"
mkdir -p "$out"
failures=0

# The calls of a trace that make or report the edit, in the host's line format.
edit_of_trace() {
  sed -nE \
    -e 's/.*"op": "addFace", "surface": "test", "points": \[([0-9]+), ([0-9]+)\], "result": ([0-9]+).*/addFace \1 \2 -> \3/p' \
    -e 's/.*"op": "polTag", "polygon": ([0-9]+), "type": "([A-Z]+)", "value": "([^"]*)".*/polTag \1 \2 \3/p' \
    -e 's/.*"op": "remPoly", "polygon": ([0-9]+).*/remPoly \1/p' \
    -e 's/.*"op": "(info|error|warning)", "text": "([^"]*)", "text2": null.*/\1 \2/p' \
    -e 's/.*"op": "done", "error": ([0-9]+), "selmode": ([0-9]+).*/done \1 \2/p' "$1"
  sed -nE 's/^  "result": ([0-9]+),?$/result \1/p' "$1"
}

for mesh in "$@"; do
  name="$(basename "$mesh" .obj)"
  code=0
  "$tarvel" run "$mesh" --all --quiet --trace "$out/$name.trace.json" -o "$out/$name.out.obj" \
    >/dev/null 2>"$out/$name.tarvel.err" || code=$?
  if [ "$code" -ne 0 ] && [ "$code" -ne 3 ]; then
    echo "FAIL: $name: tarvel run exits with $code: $(cat "$out/$name.tarvel.err")"
    failures=$((failures + 1))
    continue
  fi
  edit_of_trace "$out/$name.trace.json" >"$out/$name.expected"
  code=0
  "${runner[@]}" "$host" "$module" "$mesh" >"$out/$name.raw" 2>"$out/$name.host.err" || code=$?
  tr -d '\r' <"$out/$name.raw" >"$out/$name.actual"
  if [ "$code" -ne 0 ]; then
    echo "FAIL: $name: the published-layout host exits with $code: $(tr -d '\r' <"$out/$name.host.err")"
    failures=$((failures + 1))
  elif ! cmp -s "$out/$name.expected" "$out/$name.actual"; then
    echo "FAIL: $name: the published-layout host saw another edit than tarvel run"
    diff "$out/$name.expected" "$out/$name.actual" | head -8 | sed 's/^/    /'
    failures=$((failures + 1))
  else
    echo "$name: $(grep -c '^addFace' "$out/$name.actual") links, $(grep -c '^remPoly' "$out/$name.actual") removals, $(tail -n 1 "$out/$name.actual"), as tarvel run"
  fi
done
exit $((failures > 0))
