#!/usr/bin/env bash
# Runs the 32-bit host against WardLink.dll under Wine, in a fresh prefix in a temporary folder,
# with no display: the export directory read on Linux, the host's two runs (the day on SQLite, over
# Wine's ODBC bridge and by a plain server name; then a Chinese ANSI code page and locale), and
# the rows they left, read back on Linux.
#   scripts/check-windows.sh WINDOWS-BUILD-DIR LINUX-BUILD-DIR
set -euo pipefail
windows_build=$(realpath "$1")
linux_build=$(realpath "$2")
limit=${WARDLINK_WINE_TIMEOUT:-180}

work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEDEBUG=-all DISPLAY= WAYLAND_DISPLAY=
# A crash would start the debugger and could still end with status 0: no debugger, and the host's
# own closing line decides. No Mono or Gecko installers in the fresh prefix either.
export WINEDLLOVERRIDES="winedbg.exe=d;mscoree=d;mshtml=d"
# The driver manager reads the test's registrations: the SQLite driver, and the same driver under
# SQL Server driver names for the plain server name.
export ODBCSYSINI=$work
finish() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap finish EXIT

WARDLINK_WINDOWS_DLL=$windows_build/WardLink.dll "$linux_build/tests/windows/windows_dll_test" \
  --gtest_brief=1

# Wine's loader is a 32-bit x86 program: a kernel or sandbox that cannot run those ("Exec format
# error") cannot run the host at all. Say so plainly and keep the checks made on Linux above.
if ! wine_says=$(wine --version 2>&1); then
  if grep -q "Exec format error" <<<"$wine_says"; then
    echo "check-windows: SKIPPED the host's runs under Wine: this machine cannot execute 32-bit x86"
    echo "  programs ($wine_says); WardLink.dll was built and its export directory checked"
    exit 0
  fi
  echo "check-windows: wine does not start: $wine_says"
  exit 1
fi

"$linux_build/tests/windows/windows_host_fixture" prepare "$work"
cp "$windows_build/WardLink.dll" "$windows_build/host.exe" "$work/"
windows_dir="Z:${work//\//\\}"

# Runs the host with the Unix locale that Wine takes the ANSI code page and the user's regional
# settings from, and judges the run by its closing line; the host's lines end in \r\n.
run_host() {
  local log=$1 locale=$2
  shift 2
  local status=0
  (cd "$work" && env LC_ALL="$locale" timeout "$limit" wine host.exe "$@") >"$work/$log.raw" 2>&1 ||
    status=$?
  tr -d '\r' <"$work/$log.raw" >"$work/$log"
  grep -E '^(FAIL|conventions|code page|[0-9]+ passed)' "$work/$log" | sed "s/^/  $log: /" || true
  if [ "$status" -eq 124 ]; then
    echo "  $log: timed out after $limit s"
    return 1
  fi
  tail -n 1 "$work/$log" | grep -qE '^[0-9]+ passed, 0 failed$'
}

ok=0
run_host main en_US.UTF-8 main "sqlite:$windows_dir\\native.db" \
  "odbc:Driver=SQLite3;Database=$work/odbc.db" "sqlite:$windows_dir\\broken.db" \
  "sqlite:$windows_dir\\missing.db" "dbserver01" || ok=1
run_host codepage zh_CN.GBK codepage "sqlite:$windows_dir\\codepage.db" || ok=1
wineserver -w
"$linux_build/tests/windows/windows_host_fixture" verify "$work" | sed 's/^/  rows: /' || ok=1
exit $ok
