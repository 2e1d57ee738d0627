#!/usr/bin/env bash
# Builds every parser's fuzz target with clang's libFuzzer (and ASan/UBSan) and runs each, one
# after the other, for SECONDS (default 60) from its seed corpus in fuzz/corpus/:
#   scripts/fuzz.sh [SECONDS] [TARGET...]     (no targets: all of fuzz/CMakeLists.txt's list)
# FUZZ_RUNS=n also stops a target after n runs, whichever comes first. One line per target:
#   fuzz <target> runs=<n> execs_per_s=<n> findings=<n>
# Inputs that crash, leak, hang or run out of memory are kept in out/fuzz/; the script fails
# when this run found any, or when a target ended badly without keeping one.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
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
[ $# -gt 0 ] && targets="$*"
cmake --build build-fuzz --target $(for t in $targets; do printf 'fuzz_%s ' "$t"; done) >/dev/null

mkdir -p out/fuzz
export QT_QPA_PLATFORM=offscreen
# Undefined behaviour stops the target like a crash, so it is kept and counted as one.
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
limits=(-max_total_time="$seconds" -timeout=30)
[ -n "${FUZZ_RUNS:-}" ] && limits+=(-runs="$FUZZ_RUNS")
total=0
for t in $targets; do
    work=$(mktemp -d)
    [ -d "fuzz/corpus/$t" ] && cp -r "fuzz/corpus/$t/." "$work/"
    log=out/fuzz/$t.log
    # Inputs kept by earlier runs stay for whoever reproduces them; only new ones count here.
    since=$(mktemp)
    start=$(date +%s%N)
    rc=0
    ./build-fuzz/fuzz/fuzz_$t "${limits[@]}" -print_final_stats=1 \
        -artifact_prefix="out/fuzz/$t-" "$work" >"$log" 2>&1 || rc=$?
    ms=$((($(date +%s%N) - start) / 1000000))
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1)
    runs=${runs:-0}
    findings=$(find out/fuzz -maxdepth 1 -newer "$since" \( -name "$t-crash-*" \
        -o -name "$t-leak-*" -o -name "$t-timeout-*" -o -name "$t-oom-*" \) | wc -l)
    # A target that fails without keeping an input (it did not start, say) is a finding too.
    [ "$rc" -ne 0 ] && [ "$findings" -eq 0 ] && findings=1
    echo "fuzz $t runs=$runs execs_per_s=$((runs * 1000 / (ms > 0 ? ms : 1))) findings=$findings"
    if [ "$findings" -gt 0 ]; then
        grep -E '^(==[0-9]+==ERROR|SUMMARY|.*runtime error)' "$log" | head -n3 | sed 's/^/    /' || true
        echo "    see $log"
    fi
    total=$((total + findings))
    rm -rf "$work" "$since"
done
[ "$total" -eq 0 ]
