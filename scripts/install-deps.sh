#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, only when some are missing.
set -euo pipefail
packages=(g++ cmake make binutils pkg-config libsqlite3-dev googletest libgtest-dev
  unixodbc-dev tdsodbc libsqliteodbc)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
