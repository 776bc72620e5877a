#!/usr/bin/env bash
# Installs what building and testing need, when it is missing (Debian packages): the Linux
# toolchain, the MinGW-w64 cross compilers for the 32-bit and the 64-bit Windows module, and
# Wine (its 64-bit and, from the i386 architecture, its 32-bit half) to run the Windows programs;
# npm, to install three.js for the report page, and Chromium, to test that page.
set -euo pipefail
cd "$(dirname "$0")/.."

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

# clang-14 builds the fuzz targets; libFuzzer and clang's sanitizer runtimes come in
# libclang-rt-14-dev (clang-14 only recommends it), llvm-symbolizer for readable reports in
# llvm-14.
# libcli11-dev: the header-only option parser of the command-line programs.
packages=(cmake g++ make libgtest-dev clang-format g++-mingw-w64-i686 g++-mingw-w64-x86-64
  wine wine32:i386 wine64 clang-14 libclang-rt-14-dev llvm-14 chromium libcli11-dev)
# npm may come with a Node.js of another origin than Debian's; then Debian's would conflict.
command -v npm >/dev/null || packages+=(npm)
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "Adding the i386 architecture (for wine32)"
  $sudo dpkg --add-architecture i386
fi
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# three.js at the version package-lock.json pins, into node_modules (the build embeds it).
lock_version="$(node -p "require('./package-lock.json').packages['node_modules/three'].version")"
installed_version="$(node -p "require('./node_modules/three/package.json').version" 2>/dev/null || true)"
if [ "$installed_version" != "$lock_version" ]; then
  echo "Installing three $lock_version (npm ci)"
  npm ci --ignore-scripts --no-audit --no-fund
fi
