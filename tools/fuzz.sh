#!/usr/bin/env bash
# Builds the codec's libFuzzer target with clang (ASan + UBSan) in build-fuzz/ and runs it.
#   tools/fuzz.sh                 one million inputs
#   tools/fuzz.sh -runs=100000    any libFuzzer options instead (e.g. -max_total_time=600)
# Crashing inputs land in build-fuzz/artifacts/; the corpus grows in build-fuzz/corpus/.
set -euo pipefail
cd "$(dirname "$0")/.."
builddir=${QUORVANE_FUZZ_BUILD:-build-fuzz}

CC=clang CXX=clang++ cmake -S . -B "$builddir" -DQUORVANE_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$builddir" --target fuzz_scan -j2

corpus="$builddir/corpus"
mkdir -p "$corpus" "$builddir/artifacts"
# Seeds: a reply and an acknowledgement, as received bytes (mode 0) and as buffer text (mode 1),
# the stored init text (mode 2) and a version text (mode 3).
printf '\x00\x7e21000046E00200FD3C\r\x7e25014A000000FDA3\r' >"$corpus/seed-received"
printf '\x01%s' "7E323130303030343645303032303046443343300D" >"$corpus/seed-buffer"
printf '\x02bc 32 35 30 31 aa aa 33 32 30 30 30 30 46 43 42 46 0d  ' >"$corpus/seed-tokens"
printf '\x0356312E32' >"$corpus/seed-frame"

if [[ $# -eq 0 ]]; then
    set -- -runs=1000000
fi
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
exec "$builddir/fuzz_scan" -artifact_prefix="$builddir/artifacts/" -max_len=8192 -print_final_stats=1 "$@" "$corpus"
