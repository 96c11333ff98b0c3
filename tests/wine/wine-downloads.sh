#!/usr/bin/env bash
# Downloads under Wine, through the test-only serial shim (tests/wine/serialshim/, see
# docs/DEVELOPING.md), against the pack simulator on a pty behind COM5, in the Wine prefix and on
# the display the caller has set up (tools/ci-windows.sh). In English, then again in Chinese (Wine's
# system language, and the image in a folder with a Chinese name):
#  1. quorvane-flash.exe: the version (answered at once, byte by byte, behind noise); a full
#     download at 115200, the image byte-exact; a stall (exit 6); the link lost mid-download (exit 7);
#  2. the window in the check program: open, Get Version, Load File, Start; the image byte-exact and
#     the log's last lines;
#  3. Quorvane.exe itself, driven through its window by posted clicks and keys: the same four steps;
#     the image byte-exact and its record in downloads.jsonl.
# Prints each run's seconds.
#   tests/wine/wine-downloads.sh <windows-build-dir> <packsim> <shim-dir>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
packsim=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
shim=$(cd "$3" && pwd)
: "${WINEPREFIX:?set WINEPREFIX}" "${DISPLAY:?set DISPLAY}"
source "$here/lib.sh"

work=$(mktemp -d /tmp/quorvane-downloads.XXXXXX)
exe_pid=""
cleanup() {
    [[ -n "$exe_pid" ]] && kill "$exe_pid" 2>/dev/null
    stop_pack
    wait 2>/dev/null || true
    wine reg delete 'HKLM\Software\Wine\Ports' /v COM5 /f >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT

version=BMS_V2.1.07_2026
mkdir -p "$work/program"
cp "$build/app/Quorvane.exe" "$build/flash/quorvane-flash.exe" "$build/tests/wine/quorvane_wincheck.exe" \
    "$shim/serialshim.dll" "$shim/serialshim-run.exe" "$work/program/"
com_port COM5 "$work/com5"
# Runs a program of $work/program under the shim: run SECONDS PROGRAM ARGS...
run() {
    local seconds=$1
    shift
    (cd "$work/program" && timeout "$seconds" wine serialshim-run.exe "$@")
}

downloads() { # LANGUAGE-NAME LANGUAGE-INDEX FOLDER
    local lang=$1 index=$2 dir=$work/$3/$version code t0
    mkdir -p "$dir"
    head -c 100000 /dev/urandom >"$dir/fw.bin"
    head -c 40000 /dev/urandom >"$dir/small.bin"
    local fw small
    fw=$(winpath "$dir/fw.bin")
    small=$(winpath "$dir/small.bin")

    # The version, answered at once, byte by byte, and late behind noise.
    local replies
    for replies in "" "--byte-by-byte" "--noise 7 --delay 50"; do
        echo "--- $lang: quorvane-flash.exe --read-version, the pack answering ${replies:-at once}"
        # shellcheck disable=SC2086 # the simulator's options, split on purpose
        start_pack "$lang-version" $replies
        t0=$(date +%s.%N)
        code=0
        run 60 quorvane-flash.exe --read-version --port COM5 >"$work/out.txt" 2>&1 || code=$?
        echo "exit $code in $(since "$t0") s: $(tr -d '\r' <"$work/out.txt" | tail -n1)"
        stop_pack
        [[ $code == 0 ]] && grep -q "$version" "$work/out.txt" || fail "$lang: the version was not read ($replies)"
    done

    echo "--- $lang: quorvane-flash.exe, 100 000 bytes at 115200"
    start_pack "$lang-download" --image-out "$work/image.bin"
    t0=$(date +%s.%N)
    code=0
    run 300 quorvane-flash.exe --port COM5 --baud 115200 "$fw" >"$work/out.txt" 2>&1 || code=$?
    echo "exit $code in $(since "$t0") s: $(tr -d '\r' <"$work/out.txt" | tail -n1)"
    stop_pack
    grep -E '^(violations|images):' "$work/$lang-download.out" || true
    [[ $code == 0 ]] || fail "$lang: the download ended with exit $code"
    image_exact "$dir/fw.bin" "$work/image.bin" && echo "the image is byte-exact" ||
        fail "$lang: the simulator's image differs from the file"
    grep -q '^violations: 0$' "$work/$lang-download.out" || fail "$lang: the simulator saw violations"
    rm -f "$work/image.bin"

    echo "--- $lang: quorvane-flash.exe, a stall (the third data packet unanswered)"
    start_pack "$lang-stall" --silent data:3
    t0=$(date +%s.%N)
    code=0
    run 120 quorvane-flash.exe --port COM5 --stall-timeout 2 "$small" >"$work/out.txt" 2>&1 || code=$?
    echo "exit $code in $(since "$t0") s: $(tr -d '\r' <"$work/out.txt" | tail -n1)"
    stop_pack
    [[ $code == 6 ]] || fail "$lang: a stall ended with exit $code, not 6"

    echo "--- $lang: quorvane-flash.exe, the link lost mid-download"
    start_pack "$lang-lost" --delay 20
    code=0
    # The program learns that the line is gone when it writes to it: the kill may come while it
    # waits for an answer to a packet it has sent, which the pack then never gives. A retry after
    # the stall deadline writes the packet again, so the stall is never what ends the download.
    run 120 quorvane-flash.exe --port COM5 --baud 115200 --stall-timeout 3 --retries 5 "$fw" \
        >"$work/out.txt" 2>&1 &
    local flash_pid=$!
    for _ in $(seq 1 100); do
        grep -q ' RX data ' "$work/$lang-lost.log" 2>/dev/null && break
        sleep 0.1
    done
    kill -TERM "$sim_pid"
    wait "$sim_pid" 2>/dev/null || true
    sim_pid=""
    t0=$(date +%s.%N)
    wait "$flash_pid" || code=$?
    echo "exit $code, $(since "$t0") s after the link went: $(tr -d '\r' <"$work/out.txt" | tail -n1)"
    [[ $code == 7 ]] || fail "$lang: a lost link ended with exit $code, not 7"

    echo "--- $lang: the window in the check program: open, Get Version, Load File, Start"
    start_pack "$lang-window" --image-out "$work/image.bin"
    t0=$(date +%s.%N)
    run 120 quorvane_wincheck.exe drive COM5 "$small" "$index" 60 || fail "$lang: the window's download"
    echo "in $(since "$t0") s"
    stop_pack
    image_exact "$dir/small.bin" "$work/image.bin" && echo "the image is byte-exact" ||
        fail "$lang: the window's image differs from the file"
    rm -f "$work/image.bin"

    echo "--- $lang: Quorvane.exe, driven through its window"
    start_pack "$lang-program" --image-out "$work/image.bin"
    rm -f "$work/program/downloads.jsonl"
    printf '[connectInfo]\r\nlanguage=%s\r\n' "$index" >"$work/program/config.ini"
    t0=$(date +%s.%N)
    run 300 Quorvane.exe --port COM5 >/dev/null 2>&1 &
    exe_pid=$!
    run 60 quorvane_wincheck.exe click btn_openConsole "$index" 30 || fail "$lang: no click on Open"
    run 60 quorvane_wincheck.exe click btnGetVer "$index" 10 || fail "$lang: no click on Get Version"
    for _ in $(seq 1 100); do
        grep -q ' TX version ' "$work/$lang-program.log" && break
        sleep 0.1
    done
    grep -q ' TX version ' "$work/$lang-program.log" || fail "$lang: Quorvane.exe asked no version"
    # The version it shows is kept in config.ini beside it.
    for _ in $(seq 1 100); do
        grep -q '^version=' "$work/program/config.ini" && break
        sleep 0.1
    done
    run 60 quorvane_wincheck.exe click btnFileLoad "$index" 10 || fail "$lang: no click on Load File"
    run 60 quorvane_wincheck.exe choose-file "$small" 20 || fail "$lang: no file chosen"
    run 60 quorvane_wincheck.exe click btnStart "$index" 10 || fail "$lang: no click on Start"
    for _ in $(seq 1 600); do
        [[ -s "$work/program/downloads.jsonl" ]] && break
        sleep 0.1
    done
    echo "in $(since "$t0") s; downloads.jsonl: $(cat "$work/program/downloads.jsonl" 2>/dev/null)"
    # Closed as a user does ("Close"), before the next run opens COM5.
    run 60 quorvane_wincheck.exe click btnStop "$index" 10 || fail "$lang: no click on Close"
    timeout 30 tail --pid="$exe_pid" -f /dev/null || fail "$lang: Quorvane.exe did not close"
    exe_pid=""
    stop_pack
    image_exact "$dir/small.bin" "$work/image.bin" && echo "the image is byte-exact" ||
        fail "$lang: Quorvane.exe's image differs from the file"
    grep -q '"outcome":"confirmed"' "$work/program/downloads.jsonl" 2>/dev/null ||
        fail "$lang: downloads.jsonl holds no confirmed download"
    rm -f "$work/image.bin"
}

export LC_ALL=en_US.UTF-8 LANG=en_US.UTF-8
downloads English 0 english
export LC_ALL=zh_CN.UTF-8 LANG=zh_CN.UTF-8
downloads Chinese 1 "固件"

echo "Downloads under Wine: $failures failure(s)"
[[ $failures -eq 0 ]]
