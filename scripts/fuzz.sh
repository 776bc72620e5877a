#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, ASan and UBSan in build/fuzz, and runs each for a
# while: `scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]` (default 60 seconds, every target).
# New inputs go to build/fuzz/work/<target>, crashes to build/fuzz/artifacts/<target>/; the
# seeds in fuzz/corpus/ are read, never written. A crash, leak, hang or broken invariant makes
# the script fail; keep its input in fuzz/regressions/<target>/ once fixed.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  # Readers of further formats add their target here.
  targets=(module_fuzzer differential_fuzzer scene_json_fuzzer lwo_fuzzer obj_fuzzer)
fi

cmake -S . -B build/fuzz -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTARVEL_FUZZ=ON -DTARVEL_TESTS=OFF -DTARVEL_BENCH=OFF -DTARVEL_WERROR=ON >/dev/null
cmake --build build/fuzz -j"$(nproc)" --target "${targets[@]}"

# Leaks are findings; a huge allocation is one too (libFuzzer's malloc limit reports it), so
# the allocator does not hand out null.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
if [ -x /usr/lib/llvm-14/bin/llvm-symbolizer ]; then
  export ASAN_SYMBOLIZER_PATH=/usr/lib/llvm-14/bin/llvm-symbolizer
fi
for target in "${targets[@]}"; do
  name="${target%_fuzzer}"
  work="build/fuzz/work/$name"
  artifacts="build/fuzz/artifacts/$name"
  mkdir -p "$work" "$artifacts"
  options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -print_final_stats=1
           -artifact_prefix="$artifacts/")
  [ -f "fuzz/$name.dict" ] && options+=(-dict="fuzz/$name.dict")
  echo "== $target: $seconds s"
  log="build/fuzz/$name.log"
  seeds=("fuzz/corpus/$name")
  # The real LWO2 and LWO3 files the format tests read are seeds too (read only).
  [ "$name" = lwo ] && seeds+=(tests/data/lwo tests/data/lwo3)
  if ! "build/fuzz/fuzz/$target" "${options[@]}" "$work" "${seeds[@]}" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "$target: found a fault; the input is in $artifacts/" >&2
    exit 1
  fi
  grep -E '^#[0-9]+[[:space:]]+DONE|stat::number_of_executed_units|stat::average_exec_per_sec' "$log" || true
done
