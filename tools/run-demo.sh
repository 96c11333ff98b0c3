#!/usr/bin/env bash
# Installs what is missing, builds, and shows the whole job against the built-in pack simulator.
#
# With a display: starts the simulator on a pseudo-terminal, writes a demo firmware image into a
# folder named after the simulated pack's version, and starts Quorvane on the simulator's port.
# When the window closes, the simulator stops and says whether the image it received matches.
#
# Without a display (no DISPLAY / WAYLAND_DISPLAY: over SSH, in CI): runs the guided tour instead,
# which drives the real window offscreen, saves a screenshot at each step and checks the image.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

tools/install-deps.sh
source tools/build-env.sh
cmake -S . -B build >/dev/null
cmake --build build -j2 --target Quorvane quorvane-packsim quorvane-tour

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "No display: running the guided tour offscreen (screenshots in build/tour/)."
    exec env QT_QPA_PLATFORM=offscreen build/tools/tour/quorvane-tour --out "$root/build/tour" "$@"
fi

work=$(mktemp -d /tmp/quorvane-demo.XXXXXX)
version="BMS_V2.1.07_2026"
folder="$work/${version:0:12}"
mkdir -p "$folder"
image="$folder/demo_firmware.bin"
head -c 100000 /dev/urandom > "$image"

build/tools/packsim/quorvane-packsim --version-text "$version" --image-out "$work/received.bin" \
    --log "$work/packsim.log" > "$work/packsim.out" &
sim=$!
trap 'kill $sim 2>/dev/null || true; wait $sim 2>/dev/null || true' EXIT
for _ in $(seq 50); do [[ -s "$work/packsim.out" ]] && break; sleep 0.1; done
port=$(head -n 1 "$work/packsim.out")
[[ -n "$port" ]] || { echo "The pack simulator did not start; see $work/packsim.log" >&2; exit 1; }

echo "Simulated pack on $port, version $version. Demo image: $image"
echo "1. Click \"Open Serial\": the lamp turns green and the version appears."
echo "2. Click \"Load File\" and choose $image."
echo "3. Click \"Start DownLoad\" and watch the log until \"Update completed\"; then close the window."
build/app/Quorvane --port "$port" || true

kill "$sim" 2>/dev/null || true
wait "$sim" 2>/dev/null || true
trap - EXIT
if [[ ! -f "$work/received.bin" ]]; then
    echo "The simulator received no complete image."
    exit 0
fi
# The pack receives the image padded with zero bytes to whole 2048-byte packets after the 4-byte head.
size=$(stat -c %s "$image")
padded=$(( 4 + ( (size - 4 + 2047) / 2048 ) * 2048 ))
cp "$image" "$work/expected.bin"
truncate -s "$padded" "$work/expected.bin"
if cmp -s "$work/expected.bin" "$work/received.bin"; then
    echo "The image the pack received matches the file byte for byte."
else
    echo "MISMATCH: the image the pack received differs from the file (see $work)."
    exit 1
fi
