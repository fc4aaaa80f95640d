#!/usr/bin/env bash
# Installs the build into a temporary prefix and builds two C hosts against it, one with
# pkg-config and one with CMake's find_package; each calls the library and must run as built.
# Then checks that embedding with add_subdirectory needs neither GoogleTest nor the tool.
set -euo pipefail
build=$1 source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null
for f in include/wardlink.h lib/pkgconfig/wardlink.pc lib/cmake/WardLink/WardLinkConfig.cmake \
         bin/wardlink share/man/man1/wardlink.1 share/wardlink/hl7-mapping.toml \
         lib/systemd/system/wardlink-hl7.service etc/wardlink/hl7.env; do
  [ -e "$prefix/$f" ] || { echo "not installed: $f"; exit 1; }
done
soname=$(objdump -p "$prefix"/lib/libwardlink.so | awk '/SONAME/ {print $2}')
[[ $soname =~ ^libwardlink\.so\.[0-9]+$ ]] || { echo "unversioned soname: $soname"; exit 1; }
"$prefix/bin/wardlink" --version | grep -q "^wardlink [0-9]"
# The unit starts the installed tool and reads the installed environment file, which only its
# owner can read; the mapping printed is the one installed.
grep -qx "ExecStart=$prefix/bin/wardlink hl7 serve .*" "$prefix/lib/systemd/system/wardlink-hl7.service"
grep -qx "EnvironmentFile=$prefix/etc/wardlink/hl7.env" "$prefix/lib/systemd/system/wardlink-hl7.service"
[ "$(stat -c %a "$prefix/etc/wardlink/hl7.env")" = 600 ] || { echo "hl7.env readable by others"; exit 1; }
"$prefix/bin/wardlink" hl7 mapping | cmp - "$prefix/share/wardlink/hl7-mapping.toml"
# Staged for a package: everything under DESTDIR once, the unit and env file too.
DESTDIR=$work/stage cmake --install "$build" --prefix /usr >/dev/null
for f in usr/lib/systemd/system/wardlink-hl7.service etc/wardlink/hl7.env usr/bin/wardlink; do
  [ -e "$work/stage/$f" ] || { echo "not staged under DESTDIR: $f"; exit 1; }
done

cat >"$work/host.c" <<'C'
#include <stdio.h>
#include <string.h>
#include <wardlink.h>

int main(void) {
  char reason[512];
  int32_t result;
  if (strcmp(WardLinkVersion(), WARDLINK_VERSION_STRING) != 0) return 10;
  result = DeleteZhiYe("sqlite:/nonexistent/trial.db", "", "", 1);
  WardLinkLastError(reason, (int32_t)sizeof reason);
  printf("%d %s\n", result, reason);
  return result == 1 && strstr(reason, "database file not found") != NULL ? 0 : 11;
}
C

export PKG_CONFIG_PATH=$prefix/lib/pkgconfig
# shellcheck disable=SC2046
cc -Wall -Werror -o "$work/host-pkgconfig" "$work/host.c" $(pkg-config --cflags --libs wardlink)
"$work/host-pkgconfig"

mkdir "$work/cmake-host"
cp "$work/host.c" "$work/cmake-host/"
cat >"$work/cmake-host/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.25)
project(Host LANGUAGES C)
find_package(WardLink 0 REQUIRED)
add_executable(host host.c)
target_link_libraries(host PRIVATE WardLink::wardlink)
CMAKE
cmake -S "$work/cmake-host" -B "$work/cmake-host/build" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cmake-host/build" >/dev/null
"$work/cmake-host/build/host"

# Embedding: configuring must not look for GoogleTest, and must not make the tool.
mkdir "$work/embed"
cat >"$work/embed/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.25)
project(Embed LANGUAGES C CXX)
include(CTest)
add_subdirectory("$source" wardlink)
add_executable(host host.c)
target_link_libraries(host PRIVATE WardLink::wardlink)
if(TARGET wardlink_host OR TARGET wardlink_tests)
  message(FATAL_ERROR "embedding made the tool or the test suite")
endif()
CMAKE
cp "$work/host.c" "$work/embed/"
cmake -S "$work/embed" -B "$work/embed/build" -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON >/dev/null
echo "installed, and two hosts built and run against the prefix"
