#!/usr/bin/env bash
# The Windows build of the updater under Wine, in the Wine prefix and on the display the caller has
# set up (tools/ci-windows.sh: Xvfb, a fresh prefix, one wine server):
#  1. the window: every control, English -> Chinese -> English, a picture of each language;
#  2. Quorvane.exe starts alone from a folder of its own and shows its window "BMS";
#  3. the lost-port check finds COM5 in Windows' list of ports (and not COM7); Wine keeps a port
#     listed after its device has gone, so the other half is not seen here;
#  4. with a pseudo-terminal linked as COM5 and the pack simulator on its other end, opening COM5
#     (in the check program, and in Quorvane.exe --port COM5 by a click on "Open Serial") makes the
#     simulator receive the five version queries, byte for byte;
#  5. quorvane-flash.exe, a console program: --help, and --read-version --port COM5 writes the same
#     five version queries; started as it ships, it cannot read the answer under Wine (code 3, no
#     version): the control for tests/wine/wine-downloads.sh, whose runs read and download through
#     the test-only serial shim (docs/DEVELOPING.md).
#   tests/wine/wine-checks.sh <windows-build-dir> <packsim> <picture-dir>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
packsim=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
pictures=$(mkdir -p "$3" && cd "$3" && pwd)
: "${WINEPREFIX:?set WINEPREFIX}" "${DISPLAY:?set DISPLAY}"

source "$here/lib.sh" # fail, com_port, start_pack and stop_pack (of $packsim)
work=$(mktemp -d /tmp/quorvane-wine.XXXXXX)
exe_pid=""
cleanup() {
    [[ -n "$exe_pid" ]] && kill "$exe_pid" 2>/dev/null
    [[ -n "$sim_pid" ]] && kill "$sim_pid" 2>/dev/null
    wait 2>/dev/null || true
    wine reg delete 'HKLM\Software\Wine\Ports' /v COM5 /f >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT

# Each program in a folder of its own, as a user has it: config.ini lands there.
mkdir -p "$work/check" "$work/program"
cp "$build/tests/wine/quorvane_wincheck.exe" "$work/check/"
cp "$build/app/Quorvane.exe" "$work/program/"
cp "$build/flash/quorvane-flash.exe" "$work/program/"
cp -r "$build/app/pdf" "$work/program/"

echo "--- the window, English and Chinese"
(cd "$work/check" && timeout 120 wine quorvane_wincheck.exe window "$work/en.png" "$work/zh.png") ||
    fail "window check"
cp "$work/en.png" "$pictures/windows-en.png" 2>/dev/null || fail "no English picture"
cp "$work/zh.png" "$pictures/windows-zh.png" 2>/dev/null || fail "no Chinese picture"

# COM5 is made a serial port of Wine's own (its Ports setting, read when the wine server starts), so
# that it is also in Windows' list of ports; it names a link that each run of the simulator points
# at its fresh pty.
com_port COM5 "$work/com5"

# Stops the simulator (start_pack NAME) and checks it received exactly the five version queries.
check_pack() {
    stop_pack
    local query="RX version 18 bytes: BC 30 31 30 31 34 36 43 31 30 30 30 30 46 44 41 30 0D"
    local got all
    got=$(grep -c -- "$query\$" "$work/$1.log" || true)
    all=$(grep -c ' RX ' "$work/$1.log" || true)
    echo "$1: the simulator received $all frames, $got of them the version query"
    grep -E '^(commands|rejected frames|violations):' "$work/$1.out" || true
    [[ "$got" == 5 && "$all" == 5 ]] || fail "$1: expected the five version queries and nothing else"
}

echo "--- opening COM5 in the window"
start_pack check-open
# The lost-port check: COM5 is in Windows' list of ports while its device is there.
(cd "$work/check" && timeout 60 wine quorvane_wincheck.exe presence COM5 yes) || fail "COM5 not found present"
(cd "$work/check" && timeout 60 wine quorvane_wincheck.exe presence COM7 no) || fail "COM7 found present"
(cd "$work/check" && timeout 60 wine quorvane_wincheck.exe open COM5 5) || fail "check-open: COM5 did not open"
check_pack check-open

echo "--- Quorvane.exe --port COM5, started alone, a click on Open Serial"
start_pack program
(cd "$work/program" && exec wine Quorvane.exe --port COM5) >"$work/program.stdout" 2>&1 &
exe_pid=$!
(cd "$work/check" && timeout 60 wine quorvane_wincheck.exe click-open 30) || fail "Quorvane.exe showed no window BMS"
sleep 3
kill -0 "$exe_pid" 2>/dev/null || fail "Quorvane.exe ended by itself"
check_pack program

echo "--- quorvane-flash.exe"
(cd "$work/program" && timeout 60 wine quorvane-flash.exe --help) >"$work/flash-help.txt" 2>&1 ||
    fail "quorvane-flash.exe --help did not exit 0"
grep -q '^Usage: quorvane-flash --port DEV' "$work/flash-help.txt" || fail "quorvane-flash.exe printed no usage"
grep -q '8  the download finished but the pack did not confirm' "$work/flash-help.txt" ||
    fail "quorvane-flash.exe --help lists no exit codes"
start_pack flash
code=0
(cd "$work/program" && timeout 60 wine quorvane-flash.exe --read-version --port COM5) >"$work/flash.out" 2>&1 ||
    code=$?
echo "quorvane-flash.exe --read-version --port COM5: exit $code: $(tr -d '\r' <"$work/flash.out" | head -n1)"
[[ $code == 3 ]] || fail "quorvane-flash.exe --read-version: exit $code, expected 3 (no answer can be read)"
check_pack flash

echo "Wine checks of Quorvane.exe and quorvane-flash.exe: $failures failure(s)"
[[ $failures -eq 0 ]]
