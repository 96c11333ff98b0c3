#!/usr/bin/env bash
# Makes the release bundles in dist/, at the version of project(... VERSION) in CMakeLists.txt:
#   dist/Quorvane-<version>-win64.zip   Quorvane.exe, QuorvaneStation.exe, quorvane-flash.exe (when the tree has it),
#                                       Ferrodin.exe, pdf/help.pdf, the empty driver folder
#                                       98ME_20011_2kXP_20024/ with its README, LICENSE.txt (where
#                                       the source is, how to relink, Qt's LGPL-3.0 and the GPL-3.0)
#   dist/Quorvane-<version>-win64.msi   the same files as a Windows installer (wixl, from
#                                       packaging/windows/quorvane.wxs)
#   dist/Quorvane-<version>-src.tar.gz  the source of the committed tree (git archive HEAD)
#   dist/quorvane_<version>_amd64.deb   the Linux build through CPack (dependencies by dpkg-shlibdeps)
#
#   tools/package.sh [--sdk PATH] [--deb-only] [--reuse]
# The Windows programs come from tools/build-windows.sh (--sdk or $QUORVANE_WIN_QT_SDK, as there);
# the .deb from the native build in build/. --reuse takes both trees as they are, built already
# (.ci/run: tools/ci-windows.sh built build-windows/, tools/run-tests.sh build/), and builds nothing.
# Prints each bundle with its size.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

sdk_args=()
windows=1
reuse=0
while [[ $# -gt 0 ]]; do
    case "$1" in
    --sdk) sdk_args=(--sdk "${2:?--sdk needs a path}"); shift 2 ;;
    --deb-only) windows=0; shift ;;
    --reuse) reuse=1; shift ;;
    -h | --help) sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "package.sh: unknown argument '$1'" >&2; exit 2 ;;
    esac
done

version=$(sed -n 's/^project(Quorvane VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
[[ -n "$version" ]] || { echo "package.sh: no project(Quorvane VERSION ...) in CMakeLists.txt" >&2; exit 1; }
mkdir -p dist

# Text files for Windows users get Windows line ends.
crlf() { sed 's/\r*$/\r/' "$1" >"$2"; }
# Installs the Debian packages given that are missing.
need() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [[ ${#missing[@]} -eq 0 ]] && return 0
    SUDO=""
    [[ $(id -u) -ne 0 ]] && SUDO="sudo"
    $SUDO apt-get -o DPkg::Lock::Timeout=900 update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get -o DPkg::Lock::Timeout=900 install -y -qq \
        --no-install-recommends "${missing[@]}" >/dev/null
}

if [[ $windows -eq 1 ]]; then
    win=build-windows
    if [[ $reuse -eq 0 ]]; then
        tools/build-windows.sh "${sdk_args[@]}"
    else
        for built in app/Quorvane.exe station/QuorvaneStation.exe installer/Ferrodin.exe app/pdf/help.pdf; do
            [[ -f "$win/$built" ]] || { echo "package.sh --reuse: no $win/$built (tools/build-windows.sh builds it)" >&2; exit 1; }
        done
        echo "Windows programs as built in $win/"
    fi
    name=Quorvane-$version-win64
    stage=$(mktemp -d)
    trap 'rm -rf "$stage"' EXIT
    bundle=$stage/$name
    mkdir -p "$bundle/pdf" "$bundle/98ME_20011_2kXP_20024"
    cp "$win/app/Quorvane.exe" "$win/station/QuorvaneStation.exe" "$win/installer/Ferrodin.exe" "$bundle/"
    for flash in "$win/tools/flash/quorvane-flash.exe" "$win/flash/quorvane-flash.exe"; do
        [[ -f "$flash" ]] && cp "$flash" "$bundle/"
    done
    cp "$win/app/pdf/help.pdf" "$bundle/pdf/"
    crlf packaging/windows/DRIVER-README.txt "$bundle/98ME_20011_2kXP_20024/README.txt"
    sed "s/@VERSION@/$version/g" packaging/windows/LICENSE.txt >"$stage/LICENSE.txt"
    for text in LGPL-3.0 GPL-3.0; do
        printf '\n\n==== %s ====\n\n' "$text" >>"$stage/LICENSE.txt"
        cat "packaging/windows/$text.txt" >>"$stage/LICENSE.txt"
    done
    crlf "$stage/LICENSE.txt" "$bundle/LICENSE.txt"
    rm -f "dist/$name.zip"
    (cd "$stage" && cmake -E tar cf "$root/dist/$name.zip" --format=zip "$name")
    echo "dist/$name.zip: $(stat -c %s "dist/$name.zip") bytes"
    (cd "$stage" && find "$name" -type f | sort | sed 's/^/  /')

    # The installer, from the very files of the zip.
    need wixl
    rm -f "dist/$name.msi"
    (cd "$bundle" && wixl -a x64 -D Version="$version" -o "$root/dist/$name.msi" \
        "$root/packaging/windows/quorvane.wxs" 2>&1 | grep -v -e '^$' -e 'GLib-GIO-CRITICAL' || true)
    [[ -s "dist/$name.msi" ]] || { echo "package.sh: wixl made no dist/$name.msi" >&2; exit 1; }
    echo "dist/$name.msi: $(stat -c %s "dist/$name.msi") bytes"

    # The source, for the LGPL: what the bundles were built from.
    src=Quorvane-$version-src
    git rev-parse --verify -q HEAD >/dev/null || { echo "package.sh: not a git clone, no source" >&2; exit 1; }
    git archive --format=tar.gz --prefix="$src/" -o "dist/$src.tar.gz" HEAD
    echo "dist/$src.tar.gz: $(stat -c %s "dist/$src.tar.gz") bytes (git archive of $(git rev-parse --short HEAD))"
fi

# The Debian package from the native build (dpkg-shlibdeps is in dpkg-dev).
tools/install-deps.sh
if ! dpkg-query -W -f='${Status}' dpkg-dev 2>/dev/null | grep -q "install ok installed"; then
    SUDO=""
    [[ $(id -u) -ne 0 ]] && SUDO="sudo"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends dpkg-dev >/dev/null
fi
if [[ $reuse -eq 0 ]]; then
    source tools/build-env.sh
    cmake -S . -B build >/dev/null
    cmake --build build -j2
else
    [[ -f build/CPackConfig.cmake && -x build/app/Quorvane ]] ||
        { echo "package.sh --reuse: build/ is not built (tools/run-tests.sh builds it)" >&2; exit 1; }
fi
deb=quorvane_${version}_amd64.deb
rm -f "dist/$deb"
(cd build && cpack -G DEB -B "$root/build/cpack" >/dev/null)
mv "build/cpack/$deb" dist/
echo "dist/$deb: $(stat -c %s "dist/$deb") bytes"
dpkg-deb -f "dist/$deb" Depends | sed 's/^/  Depends: /'
dpkg-deb -c "dist/$deb" | awk '{print "  " $6}' | grep -v '/$'
