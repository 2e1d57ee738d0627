#!/usr/bin/env bash
# Builds the Debian package: telvora, telvora-cli and korvanta-sim with a desktop entry, the
# icon and the README. Prints the path of the .deb.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build-pkg -G Ninja -DCMAKE_BUILD_TYPE=Release -DTELVORA_TESTS=OFF \
      -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build build-pkg
(cd build-pkg && cpack -G DEB >/dev/null)
ls "$PWD"/build-pkg/telvora_*.deb
