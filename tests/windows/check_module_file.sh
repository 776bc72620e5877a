#!/usr/bin/env bash
# Checks a Windows module file from outside: a 32-bit or a 64-bit DLL, as asked, whose export
# directory names the library tarvel.p and lists _mod_descrip alone, that imports only from
# DLLs every Windows has, and whose own code does no x87 arithmetic (whose rounding would depend
# on the host's x87 precision setting) and calls no C library mathematics.
#   check_module_file.sh 32|64 OBJDUMP MODULE OBJECT_FILES...
# OBJECT_FILES are the module's own compiled code (archives allowed; a ';'-separated list is
# split), as opposed to the run-time libraries linked into it.
set -uo pipefail
bits="$1"
objdump="$2"
module="$3"
shift 3
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

case "$bits" in
  # objdump's name of the format, the optional header's magic, and the prefix the compiler puts
  # before every C symbol (32-bit Windows adds an underscore, 64-bit Windows nothing).
  32) format="pei-i386" magic="010b" kind="PE32" symbol_prefix="_" ;;
  64) format="pei-x86-64" magic="020b" kind="PE32+" symbol_prefix="" ;;
  *)
    echo "usage: check_module_file.sh 32|64 OBJDUMP MODULE OBJECT_FILES..." >&2
    exit 2
    ;;
esac

headers="$("$objdump" -p "$module")" || { echo "FAIL: $objdump cannot read $module"; exit 1; }

grep -q "file format $format\$" <<<"$headers" ||
  fail "not a $bits-bit PE file: $(sed -nE 's/.*file format (.*)$/\1/p' <<<"$headers" | head -1)"
grep -qE "^Magic[[:space:]]+$magic" <<<"$headers" || fail "optional header is not $kind"
grep -qE $'^\tDLL$' <<<"$headers" || fail "not a DLL"

name="$(sed -nE 's/^Name[[:space:]]+[0-9a-fA-F]+ (.*)$/\1/p' <<<"$headers")"
[ "$name" = "tarvel.p" ] || fail "export directory names the library '$name', not 'tarvel.p'"

exports="$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$headers" |
  sed -nE 's/^[[:space:]]*\[ *[0-9]+\] (.*)$/\1/p')"
[ "$exports" = "_mod_descrip" ] || fail "exports are [$(echo $exports)], not [_mod_descrip]"

imports="$(sed -nE 's/^[[:space:]]*DLL Name: (.*)$/\1/p' <<<"$headers" | sort -fu)"
while read -r dll; do
  case "${dll,,}" in
    kernel32.dll | msvcrt.dll) ;;
    *) fail "imports from $dll" ;;
  esac
done <<<"$imports"
grep -qi "^kernel32.dll$" <<<"$imports" || fail "no import from KERNEL32.dll (imports: $(echo $imports))"

# Loads, stores, sign and magnitude moves, compares and integer conversions of the x87 unit
# are exact whatever its precision setting (on 32-bit x86 a double result comes back in st(0));
# these round or change the unit's state.
x87Arithmetic='^f(add|sub|mul|div|iadd|isub|imul|idiv|sqrt|sin|cos|sincos|tan|ptan|patan|prem|prem1|scale|rndint|xtract|2xm1|yl2x|yl2xp1|ninit|init|ldenv|rstor)'
objects=()
for arg in "$@"; do
  IFS=';' read -ra parts <<<"$arg"
  objects+=("${parts[@]}")
done
[ ${#objects[@]} -gt 0 ] || fail "no object files given"
found="$("$objdump" -d --no-show-raw-insn "${objects[@]}" | awk -v pattern="$x87Arithmetic" '
  /^[0-9a-f]+ <.*>:$/ { function_name = $2; sub(/:$/, "", function_name) }
  /^ *[0-9a-f]+:\t/ {
    split($0, field, "\t"); mnemonic = field[2]; sub(/ .*/, "", mnemonic)
    if (mnemonic ~ pattern) print function_name ": " mnemonic
  }' | sort | uniq -c)"
[ -z "$found" ] || fail "x87 arithmetic in the module's code:
$found"
[ "$("$objdump" -d "${objects[@]}" | grep -c '^[0-9a-f]* <')" -gt 50 ] ||
  fail "too few functions disassembled from the module's object files"

# Nor may it call C library functions beyond copying memory, reading the environment (the
# worker thread count), the mutex the worker threads wait on and the C++ run-time's exception
# support: MinGW's sqrt is the x87 fsqrt (double rounding), its sin, cos and atan2 the x87
# instructions, msvcrt's acos its own; none gives glibc's bits. (Mangled C++ names, _Z... with
# the C symbol prefix, are the C++ library's: allocation, exceptions. The exception support's
# personality routine is __gxx_personality_v0 on 32-bit Windows, __gxx_personality_seh0 on
# 64-bit Windows, which unwinds through the system's tables.)
nm="${objdump%objdump}nm"
defined="$("$nm" --defined-only "${objects[@]}" 2>/dev/null | awk 'NF == 3 { print $3 }' | sort -u)"
calls="$("$nm" -u "${objects[@]}" 2>/dev/null | awk '$1 == "U" { print $2 }' | sort -u |
  comm -23 - <(echo "$defined") | grep -v "^${symbol_prefix}_Z" | sed "s/^$symbol_prefix//" |
  grep -vE '^(memcpy|memmove|memset|memcmp|strlen|abort|getenv|pthread_mutex_(init|destroy|lock|unlock)|__chkstk_ms|__cxa_[a-z_]+|_Unwind_[A-Za-z_]+|__gxx_personality_(v0|seh0))$')"
[ -z "$calls" ] || fail "the module's code calls C library functions whose results may differ between platforms: $(echo $calls)"

if [ "$failures" -eq 0 ]; then
  echo "$module: $bits-bit DLL tarvel.p, exports _mod_descrip alone, imports $(echo $imports);" \
    "the module's code does no x87 arithmetic and calls no C library mathematics"
fi
exit $((failures > 0))
