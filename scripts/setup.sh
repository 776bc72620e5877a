#!/usr/bin/env bash
# Installs what is missing (Debian packages, and three.js through npm), for one of two uses:
#   setup.sh example   building the tool and running it: the Linux toolchain, CLI11, npm
#   setup.sh test      every test besides: GoogleTest, clang-format, the MinGW-w64 cross
#                      compilers of the 32-bit and the 64-bit Windows module, Wine to run the
#                      Windows programs, clang-14 with libFuzzer for the fuzz targets, Chromium
#                      and Firefox ESR for the report page, Blender for the add-on
# Wine's 32-bit half (wine32, from the i386 architecture) only where the kernel runs 32-bit
# programs: elsewhere it could not start, and with it installed Wine starts no program at all.
set -euo pipefail
cd "$(dirname "$0")/.."
mode="${1:-test}"
source scripts/apt_packages.sh

# libcli11-dev: the header-only option parser of the command-line programs.
packages=(cmake g++ make libcli11-dev)
# npm may come with a Node.js of another origin than Debian's; then Debian's would conflict.
command -v npm >/dev/null || packages+=(npm)
case "$mode" in
  example) ;;
  test)
    # clang-14 builds the fuzz targets; libFuzzer and clang's sanitizer runtimes come in
    # libclang-rt-14-dev (clang-14 only recommends it), llvm-symbolizer in llvm-14.
    packages+=(libgtest-dev clang-format g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64
      clang-14 libclang-rt-14-dev llvm-14 chromium firefox-esr)
    # The Python module (built and tested with the system's Python 3 and NumPy).
    packages+=(pybind11-dev python3-dev python3-numpy)
    # Blender runs the add-on's tests headless (its Python is the system's, as the package's).
    packages+=(blender)
    if why="$(bash scripts/runs_32bit_programs.sh)"; then
      if ! dpkg --print-foreign-architectures | grep -qx i386; then
        echo "Adding the i386 architecture (for wine32)"
        $apt_sudo dpkg --add-architecture i386
        apt_updated=0
      fi
      packages+=(wine32:i386)
    else
      echo "setup: not installing wine32: $why; the 32-bit Windows programs cannot run here"
    fi
    ;;
  *)
    echo "usage: setup.sh example|test" >&2
    exit 2
    ;;
esac
ensure_packages "${packages[@]}"

# three.js at the version package-lock.json pins, into node_modules (the build embeds it).
lock_version="$(node -p "require('./package-lock.json').packages['node_modules/three'].version")"
installed_version="$(node -p "require('./node_modules/three/package.json').version" 2>/dev/null || true)"
if [ "$installed_version" != "$lock_version" ]; then
  echo "Installing three $lock_version (npm ci)"
  npm ci --ignore-scripts --no-audit --no-fund
fi
