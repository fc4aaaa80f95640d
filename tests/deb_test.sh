#!/usr/bin/env bash
# The Debian packages on this machine: lintian finds no error (and no warning but the ones kept
# below); dpkg -i installs the three; a C host builds against the installed header and pkg-config
# file and calls an export on a trial database; the tool runs, the unit verifies, the gateway is
# neither enabled nor started; dpkg -r leaves the conffile and the store, dpkg -P nothing.
set -euo pipefail
# make check-deb runs it only where dpkg is the package manager.
dir=$1
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
packages=(libwardlink0 libwardlink-dev wardlink)
debs=()
for p in "${packages[@]}"; do debs+=("$(ls "$dir/${p}_"*.deb)"); done
work=$(mktemp -d)
fail() { echo "deb test: $*" >&2; exit 1; }

# dpkg takes no lock time-out; other builds on the machine may be installing.
dpkg_locked() {
  local tries=0
  until $sudo dpkg "$@" >"$work/dpkg.out" 2>&1; do
    grep -q "lock" "$work/dpkg.out" && [ $((tries += 1)) -lt 300 ] || { cat "$work/dpkg.out"; return 1; }
    sleep 2
  done
}
cleanup() {
  dpkg_locked -P "${packages[@]}" || true
  rm -rf "$work"
}
trap cleanup EXIT

# Warnings kept:
#  maintscript-calls-ldconfig (libwardlink0): CPack writes postinst/postrm calling ldconfig for a
#    library in /usr/lib and has no switch to leave them out; the ldconfig trigger is there too.
#  non-standard-file-perm (wardlink, /etc/wardlink/hl7.env 0600): it holds the EMR's password.
kept="maintscript-calls-ldconfig|non-standard-file-perm 0600 != 0644 \[etc/wardlink/hl7.env\]"
lintian --tag-display-limit 0 "${debs[@]}" >"$work/lintian" 2>&1 || true
cat "$work/lintian"
if grep -E '^[EW]: ' "$work/lintian" | grep -vE "$kept" | grep -q .; then
  fail "lintian reports an error or a warning not kept"
fi

for p in "${packages[@]}"; do
  if dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -qv "not-installed"; then
    fail "$p is installed already: remove it first (dpkg -P ${packages[*]})"
  fi
done
dpkg_locked -i "${debs[@]}"

# Dependencies: computed by dpkg-shlibdeps, and the library's shlibs and symbols files give a
# program built against it a versioned dependency on it.
version=$(dpkg-query -W -f='${Version}' libwardlink0)
dpkg-query -W -f='${Depends}\n' libwardlink0 | grep -q "libsqlite3-0 (>=" || fail "libwardlink0 lacks libsqlite3-0"
dpkg-query -W -f='${Depends}\n' libwardlink0 | grep -q "libodbc2 (>=" || fail "libwardlink0 lacks libodbc2"
dpkg-query -W -f='${Depends}\n' wardlink | grep -q "libwardlink0 (= $version)" || fail "wardlink lacks libwardlink0"
dpkg-query -W -f='${Depends}\n' wardlink | grep -q "libprometheus-cpp-pull" || fail "wardlink lacks prometheus-cpp"

cat >"$work/host.c" <<'C'
#include <stdio.h>
#include <string.h>
#include <wardlink.h>

int main(int argc, char** argv) {
  char reason[512];
  int32_t result;
  if (argc != 2 || strcmp(WardLinkVersion(), WARDLINK_VERSION_STRING) != 0) return 10;
  result = AddZhiYe(argv[1], "", "", "Teacher", 1, 1);
  WardLinkLastError(reason, (int32_t)sizeof reason);
  printf("AddZhiYe gave %d %s\n", result, reason);
  return result;
}
C
# shellcheck disable=SC2046
cc -Wall -Werror -o "$work/host" "$work/host.c" $(pkg-config --cflags --libs wardlink)
wardlink create-trial "sqlite:$work/trial.db" >/dev/null
"$work/host" "sqlite:$work/trial.db" || fail "the host's export call failed"
mkdir "$work/debian" && touch "$work/debian/control"
(cd "$work" && dpkg-shlibdeps -O host 2>/dev/null) | grep -q "libwardlink0 (>= $version)" ||
  fail "a host built against the library does not depend on libwardlink0 (>= $version)"

wardlink --version | grep -qx "wardlink $version" || fail "wardlink --version: $(wardlink --version)"
unit=/usr/lib/systemd/system/wardlink-hl7.service
systemd-analyze verify "$unit" || fail "systemd-analyze verify $unit"
grep -qx "ExecStart=/usr/bin/wardlink hl7 serve .*" "$unit" || fail "the unit does not start /usr/bin/wardlink"
[ "$(stat -c '%a %U' /etc/wardlink/hl7.env)" = "600 root" ] || fail "hl7.env is not 0600 root"
dpkg-query -W -f='${Conffiles}\n' wardlink | grep -q "/etc/wardlink/hl7.env" || fail "hl7.env is no conffile"
[ "$(stat -c %a /var/lib/wardlink-hl7)" = 700 ] || fail "no store folder of mode 0700"
[ ! -e /etc/systemd/system/multi-user.target.wants/wardlink-hl7.service ] || fail "the unit is enabled"
wardlink hl7 mapping | cmp - /usr/share/wardlink/hl7-mapping.toml
# The gateway's store, as the unit's gateway writes it.
printf 'MSH|^~\\&|HIS|HOSP|WARDLINK|EMR|20240301101500||ADT^A04|P1|P|2.5\rPV1|1||||||||||||||||||ZY1\r' >"$work/a04.hl7"
wardlink hl7 apply --store /var/lib/wardlink-hl7/wardlink-hl7.db "sqlite:$work/trial.db" "" "" \
  "$work/a04.hl7" >/dev/null 2>&1 || fail "hl7 apply on the store folder"

# Every file and link of the packages, and their own folders (those named after WardLink).
for deb in "${debs[@]}"; do dpkg-deb --fsys-tarfile "$deb" | tar -t; done |
  sed -e 's|^\./|/|' -e 's|/$||' | sort -u >"$work/paths"
remaining() {
  while read -r path; do
    [ -z "$path" ] && continue
    if [ -L "$path" ] || [ -f "$path" ] || { [ -d "$path" ] && [[ ${path,,} == *wardlink* ]]; }; then
      echo "$path"
    fi
  done <"$work/paths"
  [ -e /var/lib/wardlink-hl7 ] && echo /var/lib/wardlink-hl7
  return 0
}

dpkg_locked -r "${packages[@]}"
left=$(remaining | tr '\n' ' ')
[ "$left" = "/etc/wardlink /etc/wardlink/hl7.env /var/lib/wardlink-hl7 " ] ||
  fail "after dpkg -r, left: $left"
[ -s /var/lib/wardlink-hl7/wardlink-hl7.db ] || fail "dpkg -r removed the store"
dpkg-query -W -f='${Status}\n' wardlink | grep -q "config-files" || fail "wardlink not in config-files"

dpkg_locked -P "${packages[@]}"
left=$(remaining | tr '\n' ' ')
[ -z "$left" ] || fail "after dpkg -P, left: $left"
for p in "${packages[@]}"; do
  if dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -qv "not-installed"; then
    fail "$p still known to dpkg after purge"
  fi
done
echo "deb test: ${#packages[@]} packages linted, installed, used, removed (conffile and store kept) and purged"
