#!/usr/bin/env bash
# Cross-builds the updater for 64-bit Windows with mingw-w64 and the static Windows Qt:
# Quorvane.exe and QuorvaneStation.exe (GUI), quorvane-flash.exe (console) and Ferrodin.exe, each
# statically linked, with pdf/help.pdf beside Quorvane.exe. The same CMake tree as the Linux build,
# with cmake/mingw-w64-qt.cmake; the .qm comes from the native lrelease and help.pdf from the native
# build's renderer (built in build/, as tools/run-tests.sh does).
#
#   tools/build-windows.sh [--sdk PATH] [--build-dir DIR]
#
#   --sdk PATH      the Windows Qt: its tarball (qt5.15.8-mingw64-static.tar.xz), a folder holding the
#                   tarball or the unpacked qt5-mingw/, or the unpacked Qt prefix itself.
#                   Default: $QUORVANE_WIN_QT_SDK.
#   --build-dir DIR where to build (default build-windows/).
# A tarball is unpacked once into $QUORVANE_CACHE_DIR (default ~/.cache/quorvane), outside the clone,
# in a folder named after the tarball's checksum. Prints the Qt prefix and the built programs.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

usage() { sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'; }

sdk=${QUORVANE_WIN_QT_SDK:-}
builddir=build-windows
while [[ $# -gt 0 ]]; do
    case "$1" in
    --sdk) sdk=${2:?--sdk needs a path}; shift 2 ;;
    --build-dir) builddir=${2:?--build-dir needs a folder}; shift 2 ;;
    -h | --help) usage; exit 0 ;;
    *) echo "build-windows.sh: unknown argument '$1'" >&2; usage >&2; exit 2 ;;
    esac
done
if [[ -z "$sdk" ]]; then
    echo "build-windows.sh: no Windows Qt given: pass --sdk PATH or set QUORVANE_WIN_QT_SDK" >&2
    exit 2
fi
[[ -e "$sdk" ]] || { echo "build-windows.sh: $sdk does not exist" >&2; exit 2; }

is_prefix() { [[ -f "$1/lib/cmake/Qt5/Qt5Config.cmake" ]]; }

# The Qt prefix: given as is, or unpacked from the tarball into the cache.
prefix=""
tarball=""
if [[ -d "$sdk" ]]; then
    if is_prefix "$sdk"; then
        prefix=$sdk
    elif is_prefix "$sdk/qt5-mingw"; then
        prefix=$sdk/qt5-mingw
    else
        tarball=$(find "$sdk" -maxdepth 1 -name 'qt5*-mingw64-static.tar.*' | sort | tail -n1)
        [[ -n "$tarball" ]] || { echo "build-windows.sh: no Windows Qt in $sdk" >&2; exit 2; }
    fi
else
    tarball=$sdk
fi
if [[ -n "$tarball" ]]; then
    cache=${QUORVANE_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/quorvane}
    sum=$(sha256sum "$tarball" | cut -c1-16)
    unpacked=$cache/qt-win64-$sum
    if [[ ! -f "$unpacked/.unpacked" ]]; then
        echo "Unpacking $(basename "$tarball") into $unpacked"
        rm -rf "$unpacked"
        mkdir -p "$unpacked"
        tar -xf "$tarball" -C "$unpacked"
        touch "$unpacked/.unpacked"
    fi
    prefix=$(find "$unpacked" -maxdepth 6 -path '*/lib/cmake/Qt5/Qt5Config.cmake' | head -n1)
    prefix=${prefix%/lib/cmake/Qt5/Qt5Config.cmake}
    [[ -n "$prefix" ]] || { echo "build-windows.sh: $tarball holds no Qt 5 prefix" >&2; exit 2; }
fi
prefix=$(cd "$prefix" && pwd)
echo "Windows Qt: $prefix"

tools/install-deps.sh --windows
source tools/build-env.sh

# The native tools the cross build runs.
cmake -S . -B build >/dev/null
cmake --build build -j2 --target quorvane_helpdoc quorvane-packsim
helpdoc=$root/build/tools/helpdoc/quorvane_helpdoc
lrelease=/usr/lib/qt5/bin/lrelease
[[ -x "$lrelease" ]] || lrelease=$(command -v lrelease)

cmake -S . -B "$builddir" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-qt.cmake" \
    -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_BUILD_TYPE=Release \
    -DQUORVANE_BUILD_TESTS=OFF \
    -DQUORVANE_HOST_LRELEASE="$lrelease" \
    -DQUORVANE_HOST_HELPDOC="$helpdoc" >/dev/null
cmake --build "$builddir" -j2

for exe in app/Quorvane.exe station/QuorvaneStation.exe flash/quorvane-flash.exe installer/Ferrodin.exe \
    app/pdf/help.pdf; do
    [[ -f "$builddir/$exe" ]] && echo "built $builddir/$exe ($(stat -c %s "$builddir/$exe") bytes)"
done
exit 0
