#!/usr/bin/env bash
# Exits 0 when this machine's kernel runs 32-bit x86 Linux programs, 1 with one line on standard
# output saying why not. It runs the smallest such program there is: 84 bytes of ELF header and
# twelve of code that end the process with the code 42, written here byte by byte so that no
# 32-bit compiler or library is needed to ask.
set -uo pipefail
probe="$(mktemp "${TMPDIR:-/tmp}/tarvel-elf32.XXXXXX")"
trap 'rm -f "$probe"' EXIT
# ELF header: 32-bit, little-endian, an executable for i386 entered at 0x08048054, one program
# header right after it. Program header: one loadable, readable and executable segment holding
# the whole file at 0x08048000. Code: mov eax, 1 (exit); mov ebx, 42; int 0x80.
printf '%b' \
  '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' \
  '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' \
  '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00' \
  '\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08' \
  '\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00' \
  '\x00\x10\x00\x00\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >"$probe"
chmod +x "$probe"
output="$("$probe" 2>&1)"
status=$?
if [ "$status" -eq 42 ]; then
  exit 0
fi
reason="${output##*: }"
if [ "$(uname -m)" != x86_64 ] && [ "$(uname -m)" != i686 ]; then
  echo "this machine is not an x86 one ($(uname -m))"
elif [ -n "$reason" ]; then
  echo "this machine's kernel runs no 32-bit programs (${reason}; on Linux, 32-bit emulation is off: ia32_emulation=0 or no IA32_EMULATION)"
else
  echo "this machine's kernel runs no 32-bit programs (a 32-bit probe ended with $status, not 42)"
fi
exit 1
