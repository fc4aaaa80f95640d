#!/usr/bin/env bash
# Installs the Debian packages of the given groups (default: build), only when some are missing.
# A group is a file in scripts/packages/, one package a line; a package named `name:arch` for a
# foreign architecture adds that architecture first.
set -euo pipefail
cd "$(dirname "$0")"
groups=("$@")
[ ${#groups[@]} -eq 0 ] && groups=(build)
native=$(dpkg --print-architecture)

installed() {
  # An unqualified name must be installed for the native architecture (or be arch-independent):
  # an i386 copy of a library does not satisfy the amd64 build.
  local name=${1%%:*} arch=${1#*:}
  [ "$arch" = "$1" ] && arch=$native
  dpkg-query -W -f='${Status} ${Architecture}\n' "$name" 2>/dev/null |
    grep -qE "^install ok installed ($arch|all)$"
}

missing=()
foreign=()
for group in "${groups[@]}"; do
  while read -r p; do
    [ -z "$p" ] && continue
    installed "$p" || missing+=("$p")
    case "$p" in *:*) foreign+=("${p#*:}") ;; esac
  done < <(sed -e 's/#.*//' -e 's/[[:space:]]//g' "packages/$group")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "install-deps: installing ${missing[*]} with apt-get${sudo:+ through sudo}: missing Debian" \
  "packages of the ${groups[*]} step (scripts/packages/)"
export DEBIAN_FRONTEND=noninteractive
for arch in $(printf '%s\n' "${foreign[@]}" | sort -u); do
  dpkg --print-foreign-architectures | grep -qx "$arch" || $sudo dpkg --add-architecture "$arch"
done
$sudo apt-get -o DPkg::Lock::Timeout=600 update -qq
$sudo apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}"
