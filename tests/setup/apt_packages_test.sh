#!/usr/bin/env bash
# Set-up against a package mirror caught mid-sync, with apt-get and dpkg replaced by fakes:
# the index update fails, the first install is refused because a 32-bit library is older than
# its installed 64-bit twin, and only the retry from the base suite with that twin pinned goes
# through. A package no suite has must stop set-up with its name.
#   apt_packages_test.sh SOURCE_DIR
set -uo pipefail
source_dir="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin"
installed="$work/installed"
touch "$installed"

cat >"$work/bin/dpkg" <<'FAKE'
#!/usr/bin/env bash
[ "$1" = -s ] && grep -qx "$2" "$FAKE_INSTALLED"
FAKE
cat >"$work/bin/apt-get" <<'FAKE'
#!/usr/bin/env bash
echo "apt-get $*" >>"$FAKE_LOG"
case " $* " in
  *" update "*)
    echo "E: Failed to fetch .../i386/Packages.xz  File has unexpected size (1 != 2). Mirror sync in progress?" >&2
    exit 100 ;;
esac
if [[ " $* " == *" nosuchpackage "* ]]; then
  echo "E: Unable to locate package nosuchpackage" >&2
  exit 100
fi
if [[ " $* " != *" -t "* || " $* " != *" libtwin:amd64=1.0-1 "* ]]; then
  echo "The following packages have unmet dependencies:"
  echo " libtwin:i386 : Breaks: libtwin (!= 1.0-1) but 1.0-2 is to be installed"
  echo "E: Unable to correct problems, you have held broken packages."
  exit 100
fi
for arg in "$@"; do
  case "$arg" in -*|install|bookworm|*=*) ;; *) echo "$arg" >>"$FAKE_INSTALLED" ;; esac
done
FAKE
chmod +x "$work/bin/dpkg" "$work/bin/apt-get"
export PATH="$work/bin:$PATH" FAKE_INSTALLED="$installed" FAKE_LOG="$work/log"

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# shellcheck source=/dev/null
source "$source_dir/scripts/apt_packages.sh"
apt_sudo=""
ensure_packages wine64 wine32:i386 >"$work/out" 2>&1 || fail "set-up stopped: $(cat "$work/out")"
grep -q "apt-get update failed" "$work/out" || fail "the failed update is not reported"
grep -qx "wine32:i386" "$installed" || fail "wine32:i386 was not installed"
grep -q -- "--allow-downgrades -t .* libtwin:amd64=1.0-1" "$work/log" ||
  fail "the retry did not pin the 64-bit twin: $(cat "$work/log")"

: >"$work/log"
if ensure_packages nosuchpackage >"$work/out" 2>&1; then
  fail "set-up went on without a package no suite has"
fi
grep -q "cannot install nosuchpackage" "$work/out" || fail "the stop does not name the package"
grep -q "Unable to locate package" "$work/out" || fail "the stop does not give apt's reason"
[ "$(grep -c update "$work/log")" -eq 0 ] || fail "the failed update was tried again"

pins="$(printf '%s\n' \
  ' libgstreamer-plugins-base1.0-0:i386 : Breaks: libgstreamer-plugins-base1.0-0 (!= 1.22.0-3+deb12u4) but 1.22.0-3+deb12u5 is to be installed' \
  ' wine32:i386 : Depends: libwine:i386 (= 8.0~repack-4) but 8.0~repack-5 is to be installed' |
  apt_pins_from_refusal)"
[ "$pins" = "$(printf '%s\n' 'libgstreamer-plugins-base1.0-0:amd64=1.22.0-3+deb12u4' 'libwine:i386=8.0~repack-4')" ] ||
  fail "pins read from apt's refusal: $pins"

[ "$failures" -eq 0 ] && echo "set-up copes with a stale index"
exit $((failures > 0))
