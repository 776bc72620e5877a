#!/usr/bin/env bash
# Sets up, builds the module and the stand-in host, and runs the tool on the bundled example.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DTARVEL_TESTS=OFF -DTARVEL_BENCH=OFF >/dev/null
cmake --build build/release -j"$(nproc)"
./build/release/tarvel-host examples/facing_grids.json --trace build/facing_grids.trace.json
./build/release/tarvel-host examples/facing_grids.json
echo "Full trace: build/facing_grids.trace.json"
