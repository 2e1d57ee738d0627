#!/usr/bin/env bash
# Builds every parser's fuzz target with clang's libFuzzer (and ASan/UBSan) and runs each for
# SECONDS (default 60) from its seed corpus in fuzz/corpus/. Prints one line per target:
#   fuzz <target> runs=<n> execs_per_s=<n> findings=<n>
# Inputs that crash are kept in out/fuzz/; the script fails when there is any.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
bash scripts/deps.sh
missing=()
for p in clang libclang-rt-14-dev; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTELVORA_FUZZ=ON -DTELVORA_TESTS=OFF >/dev/null
targets=$(sed -n 's/^set(TELVORA_FUZZ_TARGETS \(.*\))$/\1/p' fuzz/CMakeLists.txt)
cmake --build build-fuzz --target $(for t in $targets; do printf 'fuzz_%s ' "$t"; done) >/dev/null

mkdir -p out/fuzz
export QT_QPA_PLATFORM=offscreen
total=0
for t in $targets; do
    work=$(mktemp -d)
    [ -d "fuzz/corpus/$t" ] && cp -r "fuzz/corpus/$t/." "$work/"
    log=out/fuzz/$t.log
    ./build-fuzz/fuzz/fuzz_$t -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="out/fuzz/$t-" "$work" >"$log" 2>&1 || true
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1)
    runs=${runs:-0}
    findings=$(find out/fuzz -maxdepth 1 \( -name "$t-crash-*" -o -name "$t-leak-*" \
        -o -name "$t-timeout-*" \) | wc -l)
    echo "fuzz $t runs=$runs execs_per_s=$((runs / (seconds > 0 ? seconds : 1))) findings=$findings"
    total=$((total + findings))
    rm -rf "$work"
done
[ "$total" -eq 0 ]
