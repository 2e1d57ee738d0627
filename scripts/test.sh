#!/usr/bin/env bash
# Set-up and every test: installs what is missing, builds with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs the whole suite offscreen, on every core.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTELVORA_SANITIZE=ON
cmake --build build-asan
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Every test program has a home of its own (tests/support/ownhome.h), so they run side by side.
cd build-asan && ctest --output-on-failure -j"$(nproc)"
