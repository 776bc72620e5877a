#!/bin/sh
# The module file must export _mod_descrip and nothing else.
set -eu
symbols=$(nm -D --defined-only "$1" | awk '{print $3}')
if [ "$symbols" != "_mod_descrip" ]; then
  echo "$1 exports:"; echo "$symbols"
  exit 1
fi
echo "$1 exports _mod_descrip only"
