#!/usr/bin/env bash
# Builds the module file the modeller loads (32-bit Windows, tarvel.p) and puts it into dist/
# with INSTALL.txt, which gives its size and SHA-256. The same sources give the same bytes.
# scripts/test.sh runs the Wine tests on this very build (build/windows).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset windows >/dev/null
cmake --build build/windows --target tarvel_module -j"$(nproc)"
bash tests/windows/check_module_file.sh i686-w64-mingw32-objdump build/windows/tarvel.p \
  build/windows/libtarvel_core.a

mkdir -p dist
cp build/windows/tarvel.p dist/tarvel.p
size="$(stat -c %s dist/tarvel.p)"
sha="$(sha256sum dist/tarvel.p | cut -d' ' -f1)"
cat >dist/INSTALL.txt <<TEXT
Tarvel Tool: a plug-in for LightWave Modeler (32-bit Windows)

File:      tarvel.p (file version 1.0.1.330)
Size:      $size bytes
SHA-256:   $sha

The file needs nothing but Windows itself (KERNEL32.dll, msvcrt.dll).

Adding it to Modeler
1. Copy tarvel.p into a folder of your choice, for example LightWave's Plugins folder.
2. In Modeler choose Utilities > Plugins > Add Plugins... and pick tarvel.p
   (or open Edit Plug-ins... and add it there).
3. The command "Tarvel Tool" appears among the plug-in commands (Utilities > Plugins >
   Additional); it can also be put on a menu or a key like any other command.

Using it
1. In the primary foreground layer, select directly (polygon mode) two or more patches of
   polygons that face each other across a gap.
2. Run "Tarvel Tool". For every pair of facing patches it links the boundary points of the
   two patches with two-point polygons (surface "test", tagged COLR "Red", "DkRed" or
   "Blue") and removes the polygons of both patches. Patches without a facing partner stay.
3. It stops with a message, changing nothing, when fewer than two polygons are selected,
   when they form fewer than two patches, or when no two patches face each other.
TEXT
echo "dist/tarvel.p: $size bytes, SHA-256 $sha"
echo "dist/INSTALL.txt written"
