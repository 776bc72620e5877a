#!/usr/bin/env bash
# Sets up and runs every test: a check that every C++ file is laid out as .clang-format says, a
# release build with warnings as errors, the 32-bit and the 64-bit Windows builds under Wine (the
# 32-bit programs only where the kernel runs 32-bit programs; elsewhere CTest reports them skipped), a
# short run of every fuzz target (FUZZ_SECONDS each, 60 by default; 0 skips them), then the
# Linux suites under AddressSanitizer (with leak detection) and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh test
jobs="$(nproc)"

# Every C++ file laid out as .clang-format says.
find . \( -path './build*' -o -path ./out -o -path ./dist -o -path ./node_modules -o -path ./.git \) \
  -prune -o \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 clang-format --dry-run --Werror

cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DTARVEL_WERROR=ON -DTARVEL_TESTS=ON \
  -DTARVEL_BENCH=ON >/dev/null
cmake --build build/release -j"$jobs"
ctest --test-dir build/release --output-on-failure --no-tests=error -j"$jobs"

# The 32-bit and the 64-bit Windows module and programs, cross-built, tested under Wine against
# the Linux build above (see tests/windows). Both share the Wine prefix build/wine-prefix.
for preset in windows windows64; do
  start=$SECONDS
  cmake --preset "$preset" >/dev/null
  cmake --build "build/$preset" -j"$jobs"
  built=$SECONDS
  ctest --test-dir "build/$preset" --output-on-failure --no-tests=error -j"$jobs"
  echo "$preset: build $((built - start)) s, tests under Wine $((SECONDS - built)) s"
  if [ "$preset" = windows ] && ! why="$(bash scripts/runs_32bit_programs.sh)"; then
    echo "windows: the Wine tests above were skipped: $why"
  fi
done

fuzz_seconds="${FUZZ_SECONDS:-60}"
if [ "$fuzz_seconds" -gt 0 ]; then
  bash scripts/fuzz.sh "$fuzz_seconds"
fi

cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=Debug -DTARVEL_WERROR=ON -DTARVEL_SANITIZE=ON \
  -DTARVEL_BENCH=OFF >/dev/null
cmake --build build/sanitize -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build/sanitize --output-on-failure --no-tests=error -j"$jobs"

# What could not run here, said again where it is seen.
if ! why="$(bash scripts/runs_32bit_programs.sh)"; then
  echo "Skipped: the 32-bit Windows programs under Wine (the 32-bit module was built and its file checked): $why"
fi
