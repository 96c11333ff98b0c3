#!/usr/bin/env bash
# quorvane-flash --station against packs paced at 115200 baud (quorvane-packsim --pace, each its own
# process) that are unplugged a moment after each image and plugged in again under the same link
# (--replug-after-image): the production line's plug, flash, unplug, plug the next.
#   1. one port, three packs, one after the other (the baseline)
#   2. four ports, three packs each; every port's last image compared with the file
#   3. from "pack plugged in" to the first init command, over every replug of run 2 (goal <= 2.5 s)
#   4. the same four ports' twelve packs through QuorvaneStation's window (offscreen, in
#      bench/station/stationwindow_bench), and the longest its event loop went without turning
#   The four ports' twelve packs should take no more than 1.1 x the one port's three, and the
#   window no more than 1.05 x the flasher's station, its event loop never stopped for 50 ms.
# Usage: bench/station.sh [build-dir]   (default build/; about a minute and a half)
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=bench/flashrig.sh
source bench/flashrig.sh "${1:-build}"

swap_ms=500 # the pack leaves this long after its end answer, and the next comes this long later
mkdir -p "$work/fw/BMS_V2.1.07_2026"
image="$work/fw/BMS_V2.1.07_2026/bench.bin"
head -c $((4 + 16 * 2048)) /dev/urandom >"$image"

start_pack() { # <name>
    QT_NO_GLIB=1 "$packsim" --link "$work/$1" --pace 115200 --frame-log "$work/$1.log" --image-out "$work/$1.img" \
        --replug-after-image "$swap_ms" >/dev/null 2>"$work/$1.err" &
    pids+=($!)
    for _ in $(seq 1 50); do [[ -e "$work/$1" ]] && return; sleep 0.1; done
    echo "pack $1 did not start" >&2
    exit 1
}
check_image() { # <name>: the pack's last image (head + padded body) starts with the file
    cmp -s -n "$(stat -c %s "$image")" "$work/$1.img" "$image" || { echo "image of $1 differs" >&2; exit 1; }
}
station() { # <packs> <report> <port>...: seconds from the start until the report holds <packs> packs
    local packs=$1 report=$2
    shift 2
    local args=()
    for port in "$@"; do args+=(--port "$work/$port"); done
    local t0
    t0=$(date +%s.%N)
    "$flash" --station --firmware-dir "$work/fw" --baud 115200 --json "$report" --record "$report.jsonl" \
        "${args[@]}" >"$report.out" 2>&1 &
    local pid=$!
    while ! python3 -c "import json,sys; sys.exit(0 if len(json.load(open('$report'))) >= $packs else 1)" \
        2>/dev/null; do
        sleep 0.05
    done
    local t1
    t1=$(date +%s.%N)
    kill -INT "$pid"
    wait "$pid" || { echo "the station ended with $?" >&2; cat "$report.out" >&2; exit 1; }
    python3 -c "print(f'{$t1 - $t0:.2f}')"
}

echo "== 1. one port, three packs"
start_pack solo
one=$(station 3 "$work/one.json" solo)
check_image solo
echo "three packs on one port: $one s"

echo "== 2. four ports, three packs each"
for name in a b c d; do start_pack "$name"; done
four=$(station 12 "$work/four.json" a b c d)
for name in a b c d; do check_image "$name"; done
python3 - "$one" "$four" "$work/four.json" <<'PY'
import json, sys
one, four = float(sys.argv[1]), float(sys.argv[2])
packs = json.load(open(sys.argv[3]))
bad = [p for p in packs if p["outcome"] != "confirmed"]
print(f"twelve packs on four ports: {four:.2f} s; {len(packs) - len(bad)} of {len(packs)} confirmed")
print(f"ratio to one port's three packs: {four / one:.3f} (goal <= 1.1)")
PY

echo "== 3. pack plugged in -> first init command (every replug of run 2)"
python3 - "$work" a b c d <<'PY'
import re, sys, statistics
def ms(t):
    h, m, s = t.split(":")
    return (int(h) * 3600 + int(m) * 60 + float(s)) * 1000
waits = []
for name in sys.argv[2:]:
    plugs = [ms(l.split()[0]) for l in open(f"{sys.argv[1]}/{name}.err") if "plugged in again" in l]
    inits = [ms(l.split()[0]) for l in open(f"{sys.argv[1]}/{name}.log") if re.match(r"^[0-9:.]{12} RX init", l)]
    for p in plugs:
        later = [i for i in inits if i > p]
        if later:
            waits.append(later[0] - p)
waits.sort()
print(f"{len(waits)} replugs: min {waits[0]:.0f} ms, median {statistics.median(waits):.0f} ms, "
      f"max {waits[-1]:.0f} ms (goal <= 2500 ms)")
PY

echo "== 4. four ports, three packs each, through the station window"
bench_window="$builddir/bench/station/stationwindow_bench"
if [[ ! -x "$bench_window" ]]; then
    cmake --build "$builddir" -j2 --target stationwindow_bench >/dev/null
fi
read -r window gap < <(QT_QPA_PLATFORM=offscreen "$bench_window" "$work/fw" 12 "$work/a" "$work/b" "$work/c" "$work/d" \
    2>"$work/window.err")
for name in a b c d; do check_image "$name"; done
python3 - "$four" "$window" "$gap" <<'PY'
import sys
four, window, gap = float(sys.argv[1]), float(sys.argv[2]), int(sys.argv[3])
print(f"twelve packs on four ports in the window: {window:.2f} s; ratio to the flasher's station: "
      f"{window / four:.3f} (goal <= 1.05); the event loop's longest pause {gap} ms (goal <= 50)")
PY
