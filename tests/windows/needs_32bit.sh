#!/usr/bin/env bash
# Runs a command that starts 32-bit Windows programs under Wine, or reports the test skipped
# (exit 77, CTest's skip) with one line saying why, when this machine's kernel runs no 32-bit
# programs at all: Wine's 32-bit half is itself such a program. Anywhere else the command runs,
# and fails if it cannot start them.
#   needs_32bit.sh COMMAND [ARGS...]
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
if ! why="$(bash "$here/../../scripts/runs_32bit_programs.sh")"; then
  echo "SKIPPED: the 32-bit Windows programs cannot run under Wine here: $why"
  exit 77
fi
exec "$@"
