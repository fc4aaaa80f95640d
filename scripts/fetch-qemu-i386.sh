#!/usr/bin/env bash
# Puts qemu-i386 (user-mode emulation, static, from qemu-user 10 in the backports suite of the
# machine's own Debian release) into DEST-DIR, for running Wine's 32-bit side where the kernel
# refuses 32-bit programs. apt works on a private configuration in a temporary folder whose only
# source is the machine's own Debian mirror with that suite: the system's sources, lists and
# package state stay untouched, and apt checks the package against the archive's signed index.
# Only the one binary is kept; a second call finds it and does nothing.
#   scripts/fetch-qemu-i386.sh DEST-DIR
set -euo pipefail
dest=$1
qemu=$dest/qemu-i386
[ -x "$qemu" ] && exit 0

. /etc/os-release
suite=${VERSION_CODENAME:?no Debian codename in /etc/os-release}-backports
# The mirror that the machine's own sources name for its release.
mirror=$(apt-get indextargets --format '$(REPO_URI)' "Release: $VERSION_CODENAME" \
  'Origin: Debian' 'Created-By: Packages' | head -n 1)
if [ -z "$mirror" ]; then
  echo "fetch-qemu-i386: no Debian $VERSION_CODENAME source in apt's lists"
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/lists/partial" "$work/cache/archives/partial" "$work/parts" "$work/prefs"
cat >"$work/sources.list" <<SOURCES
deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror $suite main
SOURCES
apt_private=(-o "Dir::Etc::SourceList=$work/sources.list" -o "Dir::Etc::SourceParts=$work/parts"
  -o "Dir::Etc::PreferencesParts=$work/prefs" -o "Dir::State::Lists=$work/lists"
  -o "Dir::Cache=$work/cache" -o "Dir::State::status=/dev/null" -o "Debug::NoLocking=true"
  -o "APT::Architectures=$(dpkg --print-architecture)" -o "Acquire::Languages=none"
  -o "APT::Sandbox::User=$(id -un)")
apt-get "${apt_private[@]}" update -qq --error-on=any
(cd "$work" && apt-get "${apt_private[@]}" download -qq "qemu-user/$suite")
deb=$(echo "$work"/qemu-user_*.deb)
version=$(dpkg-deb -f "$deb" Version)
case "$version" in
  1:10.*) ;;
  *) echo "fetch-qemu-i386: $suite offers qemu-user $version; Wine needs version 10"; exit 1 ;;
esac
dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$work" ./usr/bin/qemu-i386
mkdir -p "$dest"
mv "$work/usr/bin/qemu-i386" "$qemu.part"
mv "$qemu.part" "$qemu"
echo "fetch-qemu-i386: qemu-i386 from qemu-user $version ($mirror $suite) in $dest"
