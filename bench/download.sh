#!/usr/bin/env bash
# The download benchmarks, driven by the pack simulator (bench/download/download_bench):
#   1. turnaround over an unpaced pseudo-terminal (>= 1000 packets): median and 99th percentile
#   2. a whole download against the line, the pack pacing its answers at 115200 and 9600 baud
#   3. loading the largest accepted image (65535 packets), time and peak memory
# Usage: bench/download.sh [build-dir]   (default build/; the driver is built there if missing)
# Each figure is printed once as the window is today and once with --uniform-log (the log list laid
# out with uniform item sizes), since the log's layout shows up in the figures.
set -euo pipefail
cd "$(dirname "$0")/.."
builddir=${1:-build}
if [[ ! -x "$builddir/bench/download/download_bench" ]]; then
    cmake -S . -B "$builddir" >/dev/null
    cmake --build "$builddir" -j2 --target download_bench
fi
bench="$builddir/bench/download/download_bench"
quiet() { grep -E '^(turnaround|line|load)' || true; }

echo "== 1. turnaround (unpaced pty, 1200 packets)"
"$bench" turnaround 1200 2>&1 | quiet
"$bench" turnaround 1200 --uniform-log 2>&1 | quiet

echo "== 2. against the line"
"$bench" line 115200 64 2>&1 | quiet
"$bench" line 115200 64 --uniform-log 2>&1 | quiet
"$bench" line 9600 16 --uniform-log 2>&1 | quiet

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
