#!/usr/bin/env bash
# The window at Windows' display scales under Wine (its LogPixels setting): 96, 120, 144 and 192 dpi,
# 100 to 200 %. At each, the check program's window (the one Quorvane.exe shows) must be scaled by
# dpi/96 and cover that many more pixels on the screen, and no label, button, list or field may be
# smaller than its size hint, in English and in Chinese (tests/wine/windpi.cpp); the same of
# QuorvaneStation's window. The pictures of 100 % and 150 % are left in <picture-dir>
# (windows-100-en.png, windows-150-zh.png, station-150-zh.png, ...).
#   tests/wine/wine-dpi.sh <windows-build-dir> <picture-dir>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
pictures=$(mkdir -p "$2" && cd "$2" && pwd)
: "${WINEPREFIX:?set WINEPREFIX}" "${DISPLAY:?set DISPLAY}"
source "$here/lib.sh"

work=$(mktemp -d /tmp/quorvane-dpi.XXXXXX)
setting='HKCU\Control Panel\Desktop'
trap 'wine reg add "$setting" /v LogPixels /t REG_DWORD /d 96 /f >/dev/null 2>&1; rm -rf "$work"' EXIT
cp "$build/tests/wine/quorvane_wincheck.exe" "$work/"
for dpi in 96 120 144 192; do
    percent=$((dpi * 100 / 96))
    echo "--- $dpi dpi ($percent %)"
    wine reg add "$setting" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    for window in windows station; do
        picture=""
        [[ $dpi == 96 || $dpi == 144 ]] && picture=$(winpath "$pictures/$window-$percent")
        mode=dpi
        [[ $window == station ]] && mode=station-dpi
        (cd "$work" && timeout 120 wine quorvane_wincheck.exe $mode "$dpi" $picture) >"$work/out.txt" 2>&1 ||
            fail "$window, $dpi dpi"
        tr -d '\r' <"$work/out.txt" | grep -v '^ok: ' || true
        echo "$window: $(grep -c '^ok: ' "$work/out.txt") checks passed"
    done
done
echo "Display scaling under Wine: $failures failure(s)"
[[ $failures -eq 0 ]]
