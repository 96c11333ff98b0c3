#!/usr/bin/env bash
# Takes pictures of Ferrodin's dialog under Wine on a virtual X display, once with an English and once
# with a Simplified Chinese system language, after the installation outcome is shown:
#   docs/ferrodin-en.png, docs/ferrodin-zh.png
# Needs a cross build in build-win/ (tools/ci-windows.sh makes one), Xvfb and ImageMagick's import.
set -euo pipefail
cd "$(dirname "$0")/../.."
exe=$PWD/build-win/Ferrodin.exe
[[ -f "$exe" ]] || { echo "no $exe: run tools/ci-windows.sh first" >&2; exit 1; }

tools/ensure-locales.sh en_US.UTF-8 zh_CN.UTF-8

export WINEPREFIX
WINEPREFIX=$(mktemp -d /tmp/ferrodin-shots.XXXXXX)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
displayfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
xvfb_pid=$!
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$WINEPREFIX" "$displayfile"
}
trap cleanup EXIT
for _ in $(seq 1 100); do [[ -s "$displayfile" ]] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$displayfile")"
timeout 300 wineboot -i >/dev/null 2>&1

shoot() { # <locale> <output>
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    # The desktop window gives the dialog a frame drawn by Wine itself.
    LC_ALL=$1 LANG=$1 wine explorer /desktop=ferrodin,560x220 "$(winepath -w "$exe")" >/dev/null 2>&1 &
    local id=""
    for _ in $(seq 1 300); do
        id=$(xwininfo -root -tree | awk '/"USB DRIVER SETUP"/ {print $1; exit}')
        [[ -n "$id" ]] && break
        sleep 0.1
    done
    [[ -n "$id" ]] || { echo "the dialog did not appear ($1)" >&2; return 1; }
    sleep 4 # the one-second start and the two-second wait, then the outcome text
    import -window "$id" "$2"
    echo "wrote $2"
}
mkdir -p docs
shoot C.UTF-8 docs/ferrodin-en.png
shoot zh_CN.UTF-8 docs/ferrodin-zh.png
