#!/usr/bin/env bash
# Runs the tests, in one of two tiers:
#   test.sh          every test (what .ci/run calls): sets up what is missing, checks that every
#                    C++ file is laid out as .clang-format says, builds the release preset, lints
#                    the product's sources (scripts/lint.sh) and runs all the release tests (the
#                    report page in Chromium and Firefox among them), builds the 32-bit and the 64-bit
#                    Windows presets and runs their tests under Wine (the 32-bit programs only where
#                    the kernel runs 32-bit programs; elsewhere CTest reports them skipped), fuzzes
#                    every target for FUZZ_SECONDS (60 by default; 0 skips them), then builds the
#                    debug-asan preset and runs the Linux suites under AddressSanitizer (with leak
#                    detection) and UndefinedBehaviorSanitizer.
#   test.sh --quick  the edit-build-test loop: the layout check, the release build, the lint
#                    and the release tests less the browser ones (the "quick" test preset).
#                    Installs nothing: run scripts/setup.sh test once first.
# The builds and their flags are the presets' (CMakePresets.json); each preset's build folder
# is build/PRESET.
set -euo pipefail
cd "$(dirname "$0")/.."
quick=0
case "${1:-}" in
  --quick) quick=1 ;;
  "") ;;
  *)
    echo "usage: scripts/test.sh [--quick]" >&2
    exit 2
    ;;
esac
[ "$quick" -eq 1 ] || bash scripts/setup.sh test
jobs="$(nproc)"
start=$SECONDS

# Every C++ file laid out as .clang-format says.
find . \( -path './build*' -o -path ./out -o -path ./dist -o -path ./node_modules -o -path ./.git \) \
  -prune -o \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) -print0 | xargs -0 clang-format --dry-run --Werror

cmake --preset release >/dev/null
cmake --build --preset release -j"$jobs"
bash scripts/lint.sh build/release
if [ "$quick" -eq 1 ]; then
  ctest --preset quick -j"$jobs"
  echo "quick tests passed ($((SECONDS - start)) s)"
  exit 0
fi
ctest --preset release -j"$jobs"

# The 32-bit and the 64-bit Windows module and programs, cross-built, tested under Wine against
# the Linux build above (see tests/windows). Both share the Wine prefix build/wine-prefix.
for preset in windows windows64; do
  start=$SECONDS
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$jobs"
  built=$SECONDS
  ctest --preset "$preset" -j"$jobs"
  echo "$preset: build $((built - start)) s, tests under Wine $((SECONDS - built)) s"
  if [ "$preset" = windows ] && ! why="$(bash scripts/runs_32bit_programs.sh)"; then
    echo "windows: the Wine tests above were skipped: $why"
  fi
done

fuzz_seconds="${FUZZ_SECONDS:-60}"
if [ "$fuzz_seconds" -gt 0 ]; then
  bash scripts/fuzz.sh "$fuzz_seconds"
fi

cmake --preset debug-asan >/dev/null
cmake --build --preset debug-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --preset debug-asan -j"$jobs"

# What could not run here, said again where it is seen.
if ! why="$(bash scripts/runs_32bit_programs.sh)"; then
  echo "Skipped: the 32-bit Windows programs under Wine (the 32-bit module was built and its file checked): $why"
fi
