#!/usr/bin/env bash
# Installs what building and testing need, when it is missing (Debian packages).
set -euo pipefail

# clang-14 builds the fuzz targets; libFuzzer and clang's sanitizer runtimes come in
# libclang-rt-14-dev (clang-14 only recommends it), llvm-symbolizer for readable reports in
# llvm-14.
packages=(cmake g++ make libgtest-dev clang-format clang-14 libclang-rt-14-dev llvm-14)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
