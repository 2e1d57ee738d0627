#!/usr/bin/env bash
# Unpacks a built .deb into a temporary root and starts its programs from there.
set -euo pipefail
deb=${1:?usage: check-package.sh PACKAGE.deb}
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
for f in usr/bin/telvora usr/bin/telvora-cli usr/bin/korvanta-sim \
         usr/share/applications/telvora.desktop usr/share/icons/hicolor/128x128/apps/telvora.png \
         usr/share/doc/telvora/README.md; do
    [ -e "$root/$f" ] || { echo "missing from the package: $f"; exit 1; }
done
"$root/usr/bin/telvora-cli" --help >/dev/null
"$root/usr/bin/korvanta-sim" --help >/dev/null
dpkg-deb -f "$deb" Depends
echo "package ok: $deb"
