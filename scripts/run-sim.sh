#!/usr/bin/env bash
# Set-up and a run against the simulated module: builds, starts korvanta-sim, and starts
# telvora with the simulator's COM port preselected. Without a display it runs under Xvfb,
# saves a screenshot and prints its path.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/deps.sh
cmake -S . -B build-run -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTELVORA_TESTS=OFF >/dev/null
cmake --build build-run

run="$root/out/run"
mkdir -p "$run"
"$root/build-run/sim/korvanta-sim" "$@" >"$run/sim.out" &
sim=$!
trap 'kill $sim 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -s "$run/sim.out" ] && break; sleep 0.1; done
com=$(head -n1 "$run/sim.out")
echo "korvanta-sim plays the module on $com (installer code 1234 unless --code was given)"

# Preselect the simulator's port; the phone number of an earlier run is kept.
phone=$(grep -a '^1,0,' "$run/setup.ini" 2>/dev/null | cut -d, -f3- || true)
printf '2,1\r\ncw 0,20\r\ncw 1,20\r\n0,0,%s\r\n' "$com" >"$run/setup.ini"
[ -n "$phone" ] && printf '1,0,%s\n' "$phone" >>"$run/setup.ini"

cd "$run"
if [ -n "${DISPLAY:-}" ]; then
    "$root/build-run/telvora"
else
    shot="$root/out/telvora.png"
    Xvfb :97 -screen 0 1024x768x24 >/dev/null 2>&1 &
    xvfb=$!
    trap 'kill $sim $xvfb 2>/dev/null || true' EXIT
    sleep 1
    DISPLAY=:97 "$root/build-run/telvora" &
    app=$!
    sleep 3
    DISPLAY=:97 import -window root "$shot"
    kill $app 2>/dev/null || true
    wait $app 2>/dev/null || true
    echo "no display: ran under Xvfb; screenshot saved to $shot"
fi
