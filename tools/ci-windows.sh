#!/usr/bin/env bash
# Cross-builds Ferrodin.exe for 64-bit Windows into build-win/ and runs its Windows tests under Wine
# on a virtual X display, in a fresh Wine prefix that is removed afterwards (tests/wine/lib.sh). With
# the Windows Qt given (QUORVANE_WIN_QT_SDK, see tools/build-windows.sh) it also cross-builds the
# updater into build-windows/, builds the Wine checks' serial shim (tests/wine/serialshim/) and runs
# the updater's Wine checks: the window and its ports (tests/wine/wine-checks.sh), the downloads
# (tests/wine/wine-downloads.sh), two packs flashed by QuorvaneStation.exe one after the other
# (tests/wine/wine-station.sh) and the display scales (tests/wine/wine-dpi.sh), which leave the
# pictures of the window in build-windows/pictures/. Exits non-zero when a build or a test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

packages=(cmake make ninja-build ccache g++-mingw-w64-x86-64 wine64 wine xvfb xauth)
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

source tools/build-env.sh
start=$(date +%s)
cmake -S installer -B build-win -DCMAKE_TOOLCHAIN_FILE="$root/installer/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build build-win -j2
if [[ -n "${QUORVANE_WIN_QT_SDK:-}" ]]; then
    build_start=$(date +%s)
    tools/build-windows.sh
    echo "Cross-build of the updater took $(($(date +%s) - build_start)) s"
fi

source tests/wine/lib.sh
wine_session
# English system language for the tests.
export LC_ALL=C.UTF-8 LANG=C.UTF-8

status=0
(cd build-win && ctest --output-on-failure --timeout 120) || status=$?
if [[ -n "${QUORVANE_WIN_QT_SDK:-}" ]]; then
    quorvane_start=$(date +%s)
    tests/wine/wine-checks.sh build-windows build/tools/packsim/quorvane-packsim build-windows/pictures || status=$?
    echo "Wine checks of the updater took $(($(date +%s) - quorvane_start)) s"
    tests/wine/serialshim/build.sh build-windows/serialshim
    downloads_start=$(date +%s)
    tests/wine/wine-downloads.sh build-windows build/tools/packsim/quorvane-packsim build-windows/serialshim ||
        status=$?
    echo "Downloads under Wine took $(($(date +%s) - downloads_start)) s"
    station_start=$(date +%s)
    tests/wine/wine-station.sh build-windows build/tools/packsim/quorvane-packsim build-windows/serialshim ||
        status=$?
    echo "QuorvaneStation under Wine took $(($(date +%s) - station_start)) s"
    dpi_start=$(date +%s)
    tests/wine/wine-dpi.sh build-windows build-windows/pictures || status=$?
    echo "Display scales under Wine took $(($(date +%s) - dpi_start)) s"
else
    echo "No Windows Qt (QUORVANE_WIN_QT_SDK): the updater's Wine checks were not run"
fi
echo "Windows build and tests took $(($(date +%s) - start)) s"
exit $status
