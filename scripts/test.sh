#!/usr/bin/env bash
# Sets up and runs every test: a check that every C++ file is laid out as .clang-format says, a
# release build with warnings as errors, the 32-bit Windows build under Wine, a short run of
# every fuzz target (FUZZ_SECONDS each, 60 by default; 0 skips them), then the Linux suites
# under AddressSanitizer (with leak detection) and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs="$(nproc)"

find . \( -path './build*' -o -path ./out -o -path ./dist -o -path ./.git \) -prune -o \
  \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 clang-format --dry-run --Werror

cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DTARVEL_WERROR=ON -DTARVEL_TESTS=ON \
  -DTARVEL_BENCH=ON >/dev/null
cmake --build build/release -j"$jobs"
ctest --test-dir build/release --output-on-failure --no-tests=error -j"$jobs"

# The 32-bit Windows module and programs, cross-built, tested under Wine against the Linux build
# above (see tests/windows).
cmake --preset windows >/dev/null
cmake --build build/windows -j"$jobs"
ctest --test-dir build/windows --output-on-failure -j"$jobs"

fuzz_seconds="${FUZZ_SECONDS:-60}"
if [ "$fuzz_seconds" -gt 0 ]; then
  bash scripts/fuzz.sh "$fuzz_seconds"
fi

cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=Debug -DTARVEL_WERROR=ON -DTARVEL_SANITIZE=ON \
  -DTARVEL_BENCH=OFF >/dev/null
cmake --build build/sanitize -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build/sanitize --output-on-failure --no-tests=error -j"$jobs"
