#!/usr/bin/env bash
# Installs what building and testing need, when it is missing (Debian packages): the Linux
# toolchain, the MinGW-w64 cross compilers for the 32-bit Windows module, and Wine (with its
# 32-bit half, from the i386 architecture) to run the Windows programs.
set -euo pipefail

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

# clang-14 builds the fuzz targets; libFuzzer and clang's sanitizer runtimes come in
# libclang-rt-14-dev (clang-14 only recommends it), llvm-symbolizer for readable reports in
# llvm-14.
# libcli11-dev: the header-only option parser of the command-line programs.
packages=(cmake g++ make libgtest-dev clang-format g++-mingw-w64-i686 wine wine32:i386
  clang-14 libclang-rt-14-dev llvm-14 libcli11-dev)
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
