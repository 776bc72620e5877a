# Installs Debian packages that are missing, and copes with a package mirror caught mid-sync.
# Sourced by setup.sh; `ensure_packages PACKAGE...` is the one entry.
#
# A failed `apt-get update` (one index of one suite with an unexpected size, say) is reported
# and set-up goes on with the lists it has. A package that cannot be installed from the
# candidates those lists give (with an index stale, a wine32:i386 whose libraries are older than
# the 64-bit twins already installed: "Multi-Arch: same" libraries must have one version on
# both architectures) is tried once more from the base suite, with each library apt names as
# breaking pinned to the version that its twin needs. What is still missing then stops set-up
# with the names and apt's reason.

apt_sudo=""
[ "$(id -u)" -eq 0 ] || apt_sudo="sudo"
apt_updated=0

apt_update_once() {
  [ "$apt_updated" -eq 0 ] || return 0
  apt_updated=1
  if ! $apt_sudo apt-get update -qq; then
    echo "setup: apt-get update failed (above); going on with the package lists this machine has" >&2
  fi
}

# The packages of the arguments that are not installed, one a line.
apt_missing() {
  local p
  for p in "$@"; do
    dpkg -s "$p" >/dev/null 2>&1 || echo "$p"
  done
}

# Reads apt's refusal on standard input and prints the pins that would settle it, one a line:
#   " lib:i386 : Breaks: lib (!= 1.2-1) but 1.2-2 is to be installed"  ->  lib:amd64=1.2-1
#   " wine32:i386 : Depends: libwine:i386 (= 8.0-4) but 8.0-5 is to be installed"
#                                                                       ->  libwine:i386=8.0-4
apt_pins_from_refusal() {
  sed -nE \
    -e 's/.*Breaks: ([a-z0-9][a-z0-9.+-]*)(:amd64)? \(!= ([^)]+)\).*/\1:amd64=\3/p' \
    -e 's/.*Depends: ([a-z0-9][a-z0-9.+-]*(:[a-z0-9]+)?) \(= ([^)]+)\) but .*/\1=\3/p' |
    sort -u
}

apt_install() {
  DEBIAN_FRONTEND=noninteractive $apt_sudo apt-get install -y -qq --no-install-recommends "$@"
}

ensure_packages() {
  local missing pins=() new log base round
  mapfile -t missing < <(apt_missing "$@")
  [ ${#missing[@]} -gt 0 ] || return 0
  echo "Installing: ${missing[*]}"
  apt_update_once
  log="$(mktemp)"
  if apt_install "${missing[@]}" 2>&1 | tee "$log"; [ "${PIPESTATUS[0]}" -eq 0 ]; then
    rm -f "$log"
    return 0
  fi
  base="$(. /etc/os-release && echo "${VERSION_CODENAME:-}")"
  if [ -n "$base" ]; then
    echo "setup: installing from the current candidates failed; once more from $base" >&2
    # Each round may name further twins; a round that names none is the last.
    for round in 1 2 3 4 5; do
      mapfile -t new < <(apt_pins_from_refusal <"$log")
      local before=${#pins[@]} pin
      for pin in "${new[@]}"; do
        [[ " ${pins[*]} " == *" $pin "* ]] || pins+=("$pin")
      done
      [ "$round" -eq 1 ] || [ ${#pins[@]} -gt "$before" ] || break
      [ ${#pins[@]} -eq 0 ] || echo "setup: pinning ${pins[*]}" >&2
      if apt_install --allow-downgrades -t "$base" "${missing[@]}" "${pins[@]}" >"$log" 2>&1; then
        cat "$log"
        rm -f "$log"
        return 0
      fi
    done
  fi
  mapfile -t missing < <(apt_missing "${missing[@]}")
  echo "setup: cannot install ${missing[*]}; apt said:" >&2
  grep -E '^(E:| .* : )' "$log" >&2 || tail -n 20 "$log" >&2
  rm -f "$log"
  return 1
}
