#!/usr/bin/env bash
# Installs the build into a DESTDIR and rates the installed gateway unit with
# `systemd-analyze security --offline=yes`: it must be 2.0 or lower ("OK").
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
DESTDIR=$work cmake --install "$build" --prefix /usr >/dev/null
unit=$work/usr/lib/systemd/system/wardlink-hl7.service
[ -f "$unit" ] || { echo "not installed: $unit"; exit 1; }
report=$(systemd-analyze security --offline=yes --no-pager "$unit" 2>&1) || true
rating=$(sed -n 's/.*Overall exposure level for wardlink-hl7.service: \([0-9.]*\).*/\1/p' <<<"$report")
[ -n "$rating" ] || { echo "$report"; echo "no rating"; exit 1; }
echo "wardlink-hl7.service: $rating"
awk -v r="$rating" 'BEGIN { exit !(r <= 2.0) }' || { echo "$report"; echo "rated $rating: above 2.0"; exit 1; }
