#!/usr/bin/env bash
# The download benchmarks, driven by the pack simulator (bench/download/download_bench):
#   1. turnaround over an unpaced pseudo-terminal (1200 packets, three runs): median and 99th percentile; the
#      simulator answers from a thread of its own in the driver's process (one clock for both ends)
#   2. a whole download against the line: quorvane-packsim --pace BAUD --no-log as a process of its
#      own (with QT_NO_GLIB=1: microsecond timers), the window in the driver; 64 packets at 115200
#      baud (about 14 s, three runs), 16 at 9600 (about 37 s).
#      The target (1 %) is judged on the commands' line time plus the two one-second waits: the
#      pseudo-terminal hands the simulator's replies over at once, so the rig never spends their line
#      time. The figure with the replies' line time added is printed beside it.
#   3. loading the largest accepted image (65535 packets), time and peak memory
# Usage: bench/download.sh [build-dir]   (default build/; the driver is built there if missing)
# About two minutes in all. The machine's other load shows in the figures: run it on a quiet machine.
set -euo pipefail
cd "$(dirname "$0")/.."
builddir=${1:-build}
if [[ ! -x "$builddir/bench/download/download_bench" || ! -x "$builddir/tools/packsim/quorvane-packsim" ]]; then
    cmake -S . -B "$builddir" >/dev/null
    cmake --build "$builddir" -j2 --target download_bench quorvane-packsim
fi
bench="$builddir/bench/download/download_bench"
quiet() { grep -E '^(turnaround|line|load)' || true; }

echo "== 1. turnaround (unpaced pty, 1200 packets; three runs)"
for run in 1 2 3; do
    "$bench" turnaround 1200 2>&1 | quiet
done

echo "== 2. against the line (115200: three runs)"
for run in 1 2 3; do
    "$bench" line 115200 64 2>&1 | quiet
done
"$bench" line 9600 16 2>&1 | quiet

echo "== 3. loading the largest accepted image (65535 packets)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/FW_V1.2.3_BENCH"
image="$work/FW_V1.2.3_BENCH/largest.bin"
head -c $((4 + 65535 * 2048)) /dev/urandom >"$image"
size=$(stat -c %s "$image")
/usr/bin/time -v "$bench" load "$image" 2>"$work/time.txt" | quiet
rss_kb=$(awk -F: '/Maximum resident set size/ {gsub(/ /, "", $2); print $2}' "$work/time.txt")
awk -v rss="$rss_kb" -v size="$size" -F': ' '/Elapsed \(wall clock\)/ {wall=$2}
    END {printf "peak RSS %.1f MiB = %.2f x the file size (%.1f MiB); process wall time %s\n",
         rss / 1024, rss * 1024 / size, size / 1048576, wall}' "$work/time.txt"
