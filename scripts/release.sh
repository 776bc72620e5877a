#!/usr/bin/env bash
# Builds the module files the modeller loads, 32-bit and 64-bit Windows (tarvel.p each), checks
# them and puts them into dist/win32/ and dist/win64/, with dist/INSTALL.txt, which says which
# file goes with which installation and gives each file's size and SHA-256. The same sources
# give the same bytes. scripts/test.sh runs the Wine tests on these very builds (build/windows,
# build/windows64). Beside them, the Blender add-on as dist/tarvel_addon.zip (docs/blender.md).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh test

declare -A size sha
for bits in 32 64; do
  case "$bits" in
    32) preset=windows triple=i686-w64-mingw32 ;;
    64) preset=windows64 triple=x86_64-w64-mingw32 ;;
  esac
  cmake --preset "$preset" >/dev/null
  cmake --build "build/$preset" --target tarvel_module -j"$(nproc)"
  bash tests/windows/check_module_file.sh "$bits" "$triple-objdump" "build/$preset/tarvel.p" \
    "build/$preset/libtarvel_core.a"
  mkdir -p "dist/win$bits"
  cp "build/$preset/tarvel.p" "dist/win$bits/tarvel.p"
  size[$bits]="$(stat -c %s "dist/win$bits/tarvel.p")"
  sha[$bits]="$(sha256sum "dist/win$bits/tarvel.p" | cut -d' ' -f1)"
done
rm -f dist/tarvel.p  # where an earlier release put the 32-bit file alone

# The Blender add-on for Debian's Blender (the system's Python 3), the Python package inside it.
cmake --preset release >/dev/null
cmake --build build/release --target tarvel_blender_addon -j2
cp build/release/tarvel_addon.zip dist/tarvel_addon.zip

cat >dist/INSTALL.txt <<TEXT
Tarvel Tool: a plug-in for LightWave Modeler on Windows

Two files of the same tool, one for each kind of LightWave installation. A 32-bit LightWave
loads only the 32-bit file and a 64-bit LightWave only the 64-bit one (Windows does not load
a module into a program of the other kind). Both are named tarvel.p, both have the file
version 1.0.1.330, and both give the same results.

  win32/tarvel.p  for a 32-bit LightWave
                  Size:     ${size[32]} bytes
                  SHA-256:  ${sha[32]}

  win64/tarvel.p  for a 64-bit LightWave (current LightWave releases are 64-bit)
                  Size:     ${size[64]} bytes
                  SHA-256:  ${sha[64]}

If unsure which you have: on 64-bit Windows a 32-bit LightWave is usually installed under
"Program Files (x86)", and while Modeler runs, the Task Manager shows "(32 bit)" after the
name of a 32-bit program and nothing after a 64-bit one.

Each file needs nothing but Windows itself (KERNEL32.dll, msvcrt.dll).

Which LightWave: Modeler 6.0 and every later release through LightWave 2023 (the plug-in
interface's MeshDataEdit class version 4 and later). Files of this tool released before
2026-12-09 do not run in a real Modeler (they read the host's edit record in the wrong
order): delete them and install these.

Adding it to Modeler
1. Copy the tarvel.p that matches your LightWave into a folder of your choice, for example
   LightWave's Plugins folder.
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
for bits in 32 64; do
  echo "dist/win$bits/tarvel.p: ${size[$bits]} bytes, SHA-256 ${sha[$bits]}"
done
echo "dist/tarvel_addon.zip: $(stat -c %s dist/tarvel_addon.zip) bytes, SHA-256" \
  "$(sha256sum dist/tarvel_addon.zip | cut -d' ' -f1) (Blender: docs/blender.md)"
echo "dist/INSTALL.txt written"
