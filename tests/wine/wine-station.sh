#!/usr/bin/env bash
# QuorvaneStation.exe under Wine, through the test-only serial shim (tests/wine/serialshim/), on
# COM5 in the Wine prefix and on the display the caller has set up (tools/ci-windows.sh): started
# with --start on COM5, it flashes two simulated packs one after the other (the first taken away,
# then the second plugged in behind COM5), both images byte-exact and both confirmed in the
# downloads.jsonl beside it. Prints each pack's seconds.
#   tests/wine/wine-station.sh <windows-build-dir> <packsim> <shim-dir>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
packsim=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
shim=$(cd "$3" && pwd)
: "${WINEPREFIX:?set WINEPREFIX}" "${DISPLAY:?set DISPLAY}"
source "$here/lib.sh"

work=$(mktemp -d /tmp/quorvane-station.XXXXXX)
exe_pid=""
cleanup() {
    [[ -n "$exe_pid" ]] && wine taskkill /f /im QuorvaneStation.exe >/dev/null 2>&1
    stop_pack
    wait 2>/dev/null || true
    wine reg delete 'HKLM\Software\Wine\Ports' /v COM5 /f >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT

version=BMS_V2.1.07_2026
mkdir -p "$work/program" "$work/fw/$version"
cp "$build/station/QuorvaneStation.exe" "$shim/serialshim.dll" "$shim/serialshim-run.exe" "$work/program/"
head -c 60000 /dev/urandom >"$work/fw/$version/fw.bin"
com_port COM5 "$work/com5"

# Lines of downloads.jsonl with a confirmed outcome.
confirmed() { grep -c '"outcome":"confirmed"' "$work/program/downloads.jsonl" 2>/dev/null || true; }

start_pack pack1 --image-out "$work/image1.bin"
t0=$(date +%s.%N)
(cd "$work/program" && timeout 300 wine serialshim-run.exe QuorvaneStation.exe --firmware-dir \
    "$(winpath "$work/fw")" --port COM5 --start >/dev/null 2>&1) &
exe_pid=$!
for pack in 1 2; do
    for _ in $(seq 1 900); do
        [[ $(confirmed) -ge $pack ]] && break
        sleep 0.1
    done
    echo "pack $pack: $(since "$t0") s; confirmed in downloads.jsonl: $(confirmed)"
    [[ $(confirmed) -ge $pack ]] || fail "pack $pack: no confirmed download in downloads.jsonl"
    stop_pack # taken away
    image_exact "$work/fw/$version/fw.bin" "$work/image$pack.bin" && echo "pack $pack: the image is byte-exact" ||
        fail "pack $pack: the simulator's image differs from the file"
    if [[ $pack -eq 1 ]]; then
        t0=$(date +%s.%N)
        start_pack pack2 --image-out "$work/image2.bin"
    fi
done
# The window has no way out but its close button: the program is ended as the shim's child.
wine taskkill /f /im QuorvaneStation.exe >/dev/null 2>&1 || true
timeout 30 tail --pid="$exe_pid" -f /dev/null || fail "QuorvaneStation.exe did not end"
exe_pid=""
[[ $(confirmed) -eq 2 ]] || fail "downloads.jsonl holds $(confirmed) confirmed downloads, not 2"

echo "QuorvaneStation under Wine: $failures failure(s)"
[[ $failures -eq 0 ]]
