#!/usr/bin/env bash
# Sets up, builds the module and the stand-in host, and runs the tool on the bundled example.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh example
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DTARVEL_TESTS=OFF -DTARVEL_BENCH=OFF >/dev/null
cmake --build build/release -j"$(nproc)"
# tarvel-host exits with 3 when the tool stops without changing anything; the example links.
./build/release/tarvel-host examples/facing_grids.json --trace build/facing_grids.trace.json
./build/release/tarvel-host examples/facing_grids.json
echo "Full trace: build/facing_grids.trace.json"
# The same example as mesh files: the wall (polygon 25) stays unselected, as in the scene.
./build/release/tarvel info examples/facing_grids.lwo
./build/release/tarvel run examples/facing_grids.lwo -o build/facing_grids.out.lwo \
  --select-polygons 0-24 --svg build/facing_grids.svg --html build/facing_grids.html
./build/release/tarvel run examples/facing_grids.obj -o build/facing_grids.out.obj \
  --select-surface Floor --select-surface Ceiling
echo "Picture: build/facing_grids.svg; report page: build/facing_grids.html"
