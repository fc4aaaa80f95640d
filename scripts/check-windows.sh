#!/usr/bin/env bash
# Runs the Windows test host against WardLink.dll under Wine, in a fresh prefix in a temporary
# folder, with no display: the host's two runs (the day on SQLite, over Wine's ODBC bridge and by a
# plain server name; then a Chinese ANSI code page and locale), and the rows they left, read back
# on Linux. The width of the build decides how Wine runs it:
#   x64     under wine64, which every x86-64 machine runs.
#   32-bit  natively where the machine runs 32-bit x86 programs; then, on every machine, with
#           Wine's 32-bit side under qemu-i386 user-mode emulation inside a jail that kills every
#           i386 system call: the route of machines that refuse 32-bit programs, shown to work
#           here. Where both ran, their counts must be equal.
# WARDLINK_WINE_QEMU=1 runs the 32-bit host through the qemu route alone. Only a qemu that cannot be
# obtained (no way to the Debian mirror) skips that route, and the check then fails unless
# WARDLINK_ALLOW_NO_WINDOWS=1 allows it.
#   scripts/check-windows.sh WINDOWS-BUILD-DIR LINUX-BUILD-DIR
set -euo pipefail
scripts=$(dirname "$(realpath "$0")")
windows_build=$(realpath "$1")
linux_build=$(realpath "$2")
limit=${WARDLINK_WINE_TIMEOUT:-180}
# Wine's 32-bit loader and the loaders of its 64-bit side, as Debian installs them.
wine_lib=/usr/lib/wine

# The machine field of a PE file's header: 014c for i386, 8664 for x64.
pe_machine() {
  local header
  header=$(od -An -t u4 -j 60 -N 4 "$1" | tr -d ' ')
  od -An -t x2 -j $((header + 4)) -N 2 "$1" | tr -d ' '
}

case "$(pe_machine "$windows_build/WardLink.dll")" in
  014c) width=32 ;;
  8664) width=64 ;;
  *)
    echo "check-windows: $windows_build/WardLink.dll is neither an i386 nor an x64 image"
    exit 1
    ;;
esac

# The route of a single run: WARDLINK_WINE_ROUTE is how this script calls itself for each.
route=${WARDLINK_WINE_ROUTE:-}
[ "${WARDLINK_WINE_QEMU:-0}" = 1 ] && route=qemu
[ "$width" = 64 ] && route=wine64

# The 32-bit host without a route chosen: natively where that works, then jailed under qemu-i386.
if [ -z "$route" ]; then
  ok=0
  native=0
  logs=$(mktemp -d)
  trap 'rm -rf "$logs"' EXIT
  if wine_says=$(wine --version 2>&1); then
    native=1
    echo "check-windows: 32-bit host, native route ($wine_says)"
    WARDLINK_WINE_ROUTE=native "$0" "$@" | tee "$logs/native" || ok=1
  elif grep -q "Exec format error" <<<"$wine_says"; then
    echo "check-windows: no native route: this machine cannot execute 32-bit x86 programs"
    echo "  ($wine_says)"
  else
    echo "check-windows: wine does not start: $wine_says"
    exit 1
  fi
  # The jail must kill an i386 system call: by its filter (SIGSYS), or, on a machine that runs
  # no 32-bit code at all, the kernel refuses it first (SIGSEGV).
  jail=$linux_build/tests/windows/i386_jail
  status=$( ("$jail" --self-test >/dev/null 2>&1); echo $?) 2>/dev/null
  case "$status/$native" in
    159/*) killer="the jail's filter (SIGSYS)" ;;
    139/0) killer="the kernel itself (SIGSEGV)" ;;
    *)
      echo "check-windows: the jail let an i386 system call through (status $status)"
      exit 1
      ;;
  esac
  echo "check-windows: 32-bit host, qemu-i386 route, in a jail that kills i386 system calls"
  echo "  (an i386 system call in the jail was killed by $killer)"
  "$jail" env WARDLINK_WINE_QEMU=1 "$0" "$@" | tee "$logs/qemu" || ok=1
  ran=$(sed -n 's/^check-windows: \(.*\) route ran.*/\1/p' "$logs"/* | paste -sd ' ')
  echo "check-windows: the 32-bit host ran through: ${ran:-no route}"
  if [ -f "$logs/native" ] && [ "$ran" = "native qemu-i386" ]; then
    counts() { grep -E '^  (main|codepage|rows): [0-9]+ passed' "$1"; }
    if [ "$(counts "$logs/native")" = "$(counts "$logs/qemu")" ]; then
      echo "check-windows: both routes gave the same counts"
    else
      echo "check-windows: the routes' counts differ"
      ok=1
    fi
  fi
  exit $ok
fi

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

if [ "$route" = wine64 ]; then
  export WINEARCH=win64
  wine=$wine_lib/wine64
  route="wine64 route"
elif [ "$route" = qemu ]; then
  qemu_dir=$windows_build/qemu
  if ! "$scripts/fetch-qemu-i386.sh" "$qemu_dir"; then
    echo "check-windows: SKIPPED the 32-bit host's qemu-i386 route: qemu-i386 could not be obtained"
    if [ "${WARDLINK_ALLOW_NO_WINDOWS:-0}" = 1 ]; then
      echo "  (allowed by WARDLINK_ALLOW_NO_WINDOWS=1)"
      exit 0
    fi
    echo "  a skip is no pass: set WARDLINK_ALLOW_NO_WINDOWS=1 to accept it"
    exit 1
  fi
  # Wine starts every 32-bit process by executing <its loader's folder>/wine: a private folder
  # holds a copy of the loader and, beside it, a `wine` that runs it under qemu-i386. Its
  # neighbours resolve as from the real loader's folder; the wineserver is the native 64-bit one.
  emulated=$work/emulated
  mkdir -p "$emulated/lib/wine"
  cp "$wine_lib/wine" "$emulated/lib/wine/wine-i386"
  ln -s "$wine_lib/wineserver" "$emulated/lib/wine/wineserver"
  for neighbour in lib/i386-linux-gnu lib/x86_64-linux-gnu share; do
    ln -s "/usr/$neighbour" "$emulated/$neighbour"
  done
  cat >"$emulated/lib/wine/wine" <<EOF
#!/bin/sh
exec "$qemu_dir/qemu-i386" -L / -0 "\$0" "$emulated/lib/wine/wine-i386" "\$@"
EOF
  chmod +x "$emulated/lib/wine/wine"
  # The loader would re-execute itself through the preloader, outside the emulator.
  export WINELOADERNOEXEC=1 WINEARCH=win32
  wine=$emulated/lib/wine/wine
  route="qemu-i386 route"
  limit=${WARDLINK_WINE_TIMEOUT:-600}
else
  export WINEARCH=win32
  wine=wine
  route="native route"
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
  (cd "$work" && env LC_ALL="$locale" timeout "$limit" "$wine" host.exe "$@") \
    >"$work/$log.raw" 2>&1 || status=$?
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
echo "check-windows: $route ran, $width-bit host $([ $ok = 0 ] && echo passed || echo FAILED)"
exit $ok
