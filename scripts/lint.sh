#!/usr/bin/env bash
# Runs clang-tidy, as the .clang-tidy files configure it, over the product's C++ sources: every
# .cpp in the repository outside the folders below (test-only code, the fuzz targets, the
# benchmark, what npm and the builds put here), two files at a time, with the compile commands
# of a build (the release preset sets CMAKE_EXPORT_COMPILE_COMMANDS).
#   lint.sh [BUILD_DIR]   (build/release by default; build it first)
# A file found clean is not linted again while it, the headers it includes (as the build's
# dependency files list them) and the .clang-tidy files are unchanged: BUILD_DIR/lint-clean
# holds one stamp per clean file.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/release}"
if [ ! -f "$build/compile_commands.json" ]; then
  echo "lint: no $build/compile_commands.json: configure and build first (cmake --preset release)" >&2
  exit 2
fi
excluded=(tests testing fuzz bench node_modules 'build*' out dist .git)
prune=()
for folder in "${excluded[@]}"; do
  prune+=(-path "./$folder" -o)
done
unset 'prune[${#prune[@]}-1]'

stamps="$build/lint-clean"
mkdir -p "$stamps"
export LINT_BUILD="$build" LINT_STAMPS="$stamps" LINT_ROOT="$PWD"
LINT_CONFIG="$(find . \( "${prune[@]}" \) -prune -o -name .clang-tidy -print | sort | xargs cat |
  sha1sum | cut -c1-40)"
export LINT_CONFIG
# Each source's dependency file from the build ("OBJECT: SOURCE HEADER...", the paths relative
# to the folder the compiler ran in), by the source's absolute path.
LINT_DEPS="$build/lint-deps.txt"
: >"$LINT_DEPS"
while IFS= read -r -d '' depfile; do
  source="$(sed -e '1s/^[^:]*://' -e 's/\\$//' "$depfile" | tr ' ' '\n' | grep -m1 -v '^$')" || continue
  echo "$(realpath -m "${depfile%%/CMakeFiles/*}/$source")	$depfile" >>"$LINT_DEPS"
done < <(find "$build" -name '*.o.d' -print0)
export LINT_DEPS

lint_one() {
  local source="$1" absolute deps key stamp
  absolute="$LINT_ROOT/${source#./}"
  deps="$(awk -F'\t' -v s="$absolute" '$1 == s { print $2; exit }' "$LINT_DEPS")"
  key=""
  if [ -n "$deps" ]; then
    # The source and every file of the repository it includes, with the configuration.
    key="$({
      echo "$LINT_CONFIG"
      (cd "${deps%%/CMakeFiles/*}" && sed -e '1s/^[^:]*://' -e 's/\\$//' "$LINT_ROOT/$deps" |
        tr ' ' '\n' | grep -v '^$' | xargs realpath -m) |
        grep "^$LINT_ROOT/" | grep -v "^$LINT_ROOT/build" | sort -u | xargs cat
    } | sha1sum | cut -c1-40)"
    stamp="$LINT_STAMPS/$(echo "${source#./}" | tr / _).$key"
    [ -f "$stamp" ] && return 0
  fi
  # A file with findings fails the lint and gets no stamp.
  clang-tidy --quiet -p "$LINT_BUILD" "$source" 2> >(grep -v '^[0-9]* warnings\? generated\.$' >&2) ||
    return 1
  if [ -n "$key" ]; then
    rm -f "$LINT_STAMPS/$(echo "${source#./}" | tr / _)".*
    touch "$stamp"
  fi
}
export -f lint_one

start=$SECONDS
count="$(find . \( "${prune[@]}" \) -prune -o -name '*.cpp' -print | wc -l)"
if ! find . \( "${prune[@]}" \) -prune -o -name '*.cpp' -print0 |
  xargs -0 -n 1 -P 2 bash -c 'lint_one "$1"' _; then
  echo "lint: findings above ($((SECONDS - start)) s)" >&2
  exit 1
fi
echo "lint: $count files clean ($((SECONDS - start)) s)"
