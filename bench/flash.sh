#!/usr/bin/env bash
# quorvane-flash against packs paced at 115200 baud (quorvane-packsim --pace, each its own process):
#   1. start-up: from starting the program to the first byte the pack receives (five runs)
#   2. one pack alone, then four packs at once, same image (64 packets); the four should finish
#      within 1.05 x the time of the one. Every received image is compared with the file.
# Usage: bench/flash.sh [build-dir]   (default build/; about a minute)
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=bench/flashrig.sh
source bench/flashrig.sh "${1:-build}"

mkdir -p "$work/BMS_V2.1.07_2026"
image="$work/BMS_V2.1.07_2026/bench.bin"
head -c $((4 + 64 * 2048)) /dev/urandom >"$image"

start_pack() { # <name>
    QT_NO_GLIB=1 "$packsim" --link "$work/$1" --pace 115200 --log "$work/$1.log" --image-out "$work/$1.img" \
        >/dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 1 50); do [[ -e "$work/$1" ]] && return; sleep 0.1; done
    echo "pack $1 did not start" >&2
    exit 1
}
ms_of() { # hh:mm:ss.zzz -> ms of the day
    python3 -c "import sys; h,m,s=sys.argv[1].split(':'); print(round((int(h)*3600+int(m)*60+float(s))*1000))" "$1"
}
check_image() { # <name>: the pack's image (head + padded body) starts with the file
    cmp -s -n "$(stat -c %s "$image")" "$work/$1.img" "$image" || { echo "image of $1 differs" >&2; exit 1; }
}

echo "== 1. start-up to the first byte on the line (five runs, a fresh pack each)"
for run in 1 2 3 4 5; do
    start_pack "s$run"
    before=$(date +%H:%M:%S.%3N)
    "$flash" --read-version --port "$work/s$run" >/dev/null
    first=""
    for _ in $(seq 1 100); do # the simulator writes its log line just after the bytes arrive
        first=$(grep -m1 -E '^[0-9:.]{12} RX ' "$work/s$run.log" | cut -d' ' -f1 || true)
        [[ -n "$first" ]] && break
        sleep 0.02
    done
    echo "startup $(( $(ms_of "$first") - $(ms_of "$before") )) ms"
done

echo "== 2. one pack, then four at once (64 packets at 115200 baud)"
for name in a b c d; do start_pack "$name"; done
t0=$(date +%s.%N)
"$flash" --port "$work/a" "$image" >/dev/null
t1=$(date +%s.%N)
check_image a
"$flash" --port "$work/a" --port "$work/b" --port "$work/c" --port "$work/d" --json "$work/four.json" "$image" \
    >/dev/null
t2=$(date +%s.%N)
for name in a b c d; do check_image "$name"; done
python3 - "$t0" "$t1" "$t2" "$work/four.json" <<'PY'
import json, sys
t0, t1, t2 = map(float, sys.argv[1:4])
one, four = t1 - t0, t2 - t1
ports = json.load(open(sys.argv[4]))
slowest = max(p["seconds"] for p in ports)
print(f"one pack   {one:.2f} s (whole program)")
print(f"four packs {four:.2f} s (whole program), slowest port {slowest:.2f} s; ratio {four / one:.3f} (target <= 1.05)")
PY
