#!/usr/bin/env bash
# Runs a test script in headless Blender (blender -b --factory-startup), with the user folders
# of a fresh installation and the temporary folder under the test's own folder WORK, the last
# argument. Blender missing is a skip (77): scripts/setup.sh test installs it.
#   run_in_blender.sh SCRIPT ARGUMENT... WORK
set -euo pipefail
script="$1"
shift
work="${!#}"
if ! command -v blender >/dev/null; then
  echo "skipped: blender is not installed (scripts/setup.sh test installs it)"
  exit 77
fi
rm -rf "$work"
mkdir -p "$work/user/scripts" "$work/user/config" "$work/tmp"
export BLENDER_USER_SCRIPTS="$work/user/scripts" BLENDER_USER_CONFIG="$work/user/config"
export TMPDIR="$work/tmp" PYTHONDONTWRITEBYTECODE=1
exec blender --background --factory-startup --python-exit-code 1 --python "$script" -- "$@"
