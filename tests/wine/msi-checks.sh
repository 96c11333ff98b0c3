#!/usr/bin/env bash
# The Windows installer under Wine, in a fresh prefix of its own (tests/wine/lib.sh):
#  1. msiexec /i ... /qn puts the programs, the guide, the driver folder and the Start-menu entries
#     in place;
#  2. Quorvane.exe started from Program Files keeps its settings in %LOCALAPPDATA% (Wine lets
#     anyone write to Program Files: the rule of an installed program is what keeps them out);
#  3. the next version installed over it replaces it and keeps the settings;
#  4. msiexec /x ... /qn leaves nothing of ours in Program Files or the Start menu, and the settings
#     in the user's folder.
#   tests/wine/msi-checks.sh <msi> <win64-zip> <windows-build-dir> <packsim> <shim-dir>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
msi=$(readlink -f "$1")
zip=$(readlink -f "$2")
build=$(cd "$3" && pwd)
packsim=$(readlink -f "$4")
shim=$(cd "$5" && pwd)
source "$here/lib.sh"
wine_session
work=$(mktemp -d /tmp/quorvane-msi.XXXXXX)
trap 'stop_pack; [[ -n "${KEEP:-}" ]] || rm -rf "$work"; wine_session_end' EXIT
export LC_ALL=C.UTF-8 LANG=C.UTF-8

drive_c=$WINEPREFIX/drive_c
installed="$drive_c/Program Files/Quorvane"
# The Start menu: all users' (ProgramData), or, where Wine puts a per-machine install's entries,
# the user's own.
menus=("$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Quorvane"
       "$drive_c/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Quorvane")
local_data=$(wine cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')
local_data=$(winepath -u "$local_data" 2>/dev/null)
echo "%LOCALAPPDATA%: $local_data"

# The next version's installer, from the same bundle: what an upgrade meets.
version=$(basename "$msi" | sed -n 's/^Quorvane-\([0-9.]*\)-win64\.msi$/\1/p')
next=${version%.*}.$((${version##*.} + 1))
mkdir -p "$work/bundle"
(cd "$work/bundle" && cmake -E tar xf "$zip")
(cd "$work/bundle"/*/ && wixl -a x64 -D Version="$next" -o "$work/Quorvane-$next-win64.msi" \
    "$here/../../packaging/windows/quorvane.wxs" 2>/dev/null)

msiexec() { # /i|/x MSI: the installer's exit code
    local code=0
    timeout 300 wine msiexec "$1" "$(winpath "$2")" /qn >/dev/null 2>&1 || code=$?
    echo "msiexec $1 $(basename "$2") /qn: exit $code"
    [[ $code == 0 ]] || fail "msiexec $1 $(basename "$2") exited $code"
}

echo "--- install $version"
msiexec /i "$msi"
for f in Quorvane.exe QuorvaneStation.exe quorvane-flash.exe Ferrodin.exe LICENSE.txt pdf/help.pdf 98ME_20011_2kXP_20024/README.txt; do
    [[ -f "$installed/$f" ]] || fail "Program Files\\Quorvane\\$f is missing"
done
menu=""
for m in "${menus[@]}"; do [[ -d "$m" ]] && menu=$m; done
for entry in Quorvane "Quorvane Station" Ferrodin "Quorvane guide"; do
    [[ -n "$menu" && -f "$menu/$entry.lnk" ]] || fail "no Start-menu entry $entry"
done
echo "Start menu: ${menu#"$drive_c"/}: $(ls "$menu" 2>/dev/null | tr '\n' ' ')"
cmp -s "$installed/Quorvane.exe" "$build/app/Quorvane.exe" || fail "the installed Quorvane.exe is not the one built"

echo "--- Quorvane.exe from Program Files keeps its settings in %LOCALAPPDATA%"
mkdir -p "$work/shim"
cp "$shim/serialshim.dll" "$shim/serialshim-run.exe" "$build/tests/wine/quorvane_wincheck.exe" "$work/shim/"
com_port COM5 "$work/com5"
start_pack settings
(cd "$work/shim" && exec wine serialshim-run.exe 'C:\Program Files\Quorvane\Quorvane.exe' --port COM5) \
    >/dev/null 2>&1 &
exe_pid=$!
(cd "$work/shim" && timeout 60 wine quorvane_wincheck.exe click btn_openConsole 0 30) || fail "no click on Open"
(cd "$work/shim" && timeout 60 wine quorvane_wincheck.exe click btnGetVer 0 10) || fail "no click on Get Version"
settings=""
for _ in $(seq 1 100); do
    settings=$(find "$local_data" -name config.ini 2>/dev/null | head -n1)
    [[ -n "$settings" ]] && grep -q '^version=' "$settings" && break
    sleep 0.1
done
# Closed as a user does ("Close"): a program still running would keep its files from removal.
(cd "$work/shim" && timeout 60 wine quorvane_wincheck.exe click btnStop 0 10) || fail "no click on Close"
timeout 30 tail --pid="$exe_pid" -f /dev/null || fail "Quorvane.exe did not close"
stop_pack
echo "settings: ${settings#*/dosdevices/}: $(tr -d '\r' <"$settings" 2>/dev/null | tr '\n' ' ')"
[[ ! -e "$installed/config.ini" ]] || fail "config.ini was written into Program Files"
if [[ -z "$settings" ]] || ! grep -q '^version=BMS_V2.1.07' "$settings"; then
    fail "no version kept in %LOCALAPPDATA%"
    settings=$work/no-settings/config.ini # a place of its own for what follows
    mkdir -p "$(dirname "$settings")"
fi
# A download record beside it, as a download leaves one.
echo '{"outcome":"confirmed"}' >"$(dirname "$settings")/downloads.jsonl"
cp "$settings" "$work/settings-before" 2>/dev/null || true

echo "--- install $next over it"
msiexec /i "$work/Quorvane-$next-win64.msi"
products=$(wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null |
    tr -d '\r' | grep -c 'DisplayName.*REG_SZ.*Quorvane$' || true)
shown=$(wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null |
    tr -d '\r' | grep -A30 'DisplayName.*Quorvane$' | sed -n 's/.*DisplayVersion.*REG_SZ *//p' | head -n1)
echo "installed products named Quorvane: $products, version $shown"
[[ $products == 1 ]] || fail "$products installations of Quorvane after the upgrade, not 1"
[[ -f "$installed/Quorvane.exe" ]] || fail "Quorvane.exe gone after the upgrade"
cmp -s "$settings" "$work/settings-before" || fail "the settings changed in the upgrade"

echo "--- remove it"
msiexec /x "$work/Quorvane-$next-win64.msi"
left=$(find "$installed" "${menus[@]}" 2>/dev/null | sed "s|^$drive_c/||" || true)
[[ -z "$left" ]] || fail "left behind: $left"
[[ -f "$settings" && -f "$(dirname "$settings")/downloads.jsonl" ]] || fail "the user's settings were removed"
echo "MSI checks under Wine: $failures failure(s)"
[[ $failures -eq 0 ]]
