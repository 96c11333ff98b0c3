#!/usr/bin/env bash
# Cross-builds Ferrodin.exe for 64-bit Windows into build-win/ and runs its Windows tests under Wine
# on a virtual X display, in a fresh Wine prefix that is removed afterwards. With the Windows Qt given
# (QUORVANE_WIN_QT_SDK, see tools/build-windows.sh) it also cross-builds the updater into
# build-windows/ and runs its Wine checks (tests/wine/wine-checks.sh), which leave the pictures of
# the window in build-windows/pictures/. Exits non-zero when a build or a test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

packages=(cmake make g++-mingw-w64-x86-64 wine64 wine xvfb xauth)
missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
if [[ ${#missing[@]} -gt 0 ]]; then
    echo "Installing: ${missing[*]}"
    SUDO=""
    [[ $(id -u) -ne 0 ]] && SUDO="sudo"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The Wine tests run in these system languages (tests/installer/wine/CMakeLists.txt); a new machine
# has none of them, and without the locale Wine cannot even name a file in Chinese.
tools/ensure-locales.sh en_US.UTF-8 zh_CN.UTF-8 zh_TW.UTF-8 zh_HK.UTF-8

start=$(date +%s)
cmake -S installer -B build-win -DCMAKE_TOOLCHAIN_FILE="$root/installer/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build build-win -j2
if [[ -n "${QUORVANE_WIN_QT_SDK:-}" ]]; then
    build_start=$(date +%s)
    tools/build-windows.sh
    echo "Cross-build of the updater took $(($(date +%s) - build_start)) s"
fi

export WINEPREFIX
WINEPREFIX=$(mktemp -d /tmp/ferrodin-wine.XXXXXX)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
# English system language for the tests.
export LC_ALL=C.UTF-8 LANG=C.UTF-8

displayfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
xvfb_pid=$!

cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    rm -rf "$WINEPREFIX" "$displayfile"
}
trap cleanup EXIT

for _ in $(seq 1 100); do
    [[ -s "$displayfile" ]] && break
    sleep 0.1
done
[[ -s "$displayfile" ]] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$displayfile")"

# One wine server kept for all the tests, and a fresh prefix.
wineserver -p >/dev/null 2>&1
timeout 300 wineboot -i >/dev/null 2>&1

status=0
(cd build-win && ctest --output-on-failure --timeout 120) || status=$?
if [[ -n "${QUORVANE_WIN_QT_SDK:-}" ]]; then
    quorvane_start=$(date +%s)
    tests/wine/wine-checks.sh build-windows build/tools/packsim/quorvane-packsim build-windows/pictures || status=$?
    echo "Wine checks of the updater took $(($(date +%s) - quorvane_start)) s"
else
    echo "No Windows Qt (QUORVANE_WIN_QT_SDK): the updater's Wine checks were not run"
fi
echo "Windows build and tests took $(($(date +%s) - start)) s"
exit $status
