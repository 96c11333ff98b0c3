#!/usr/bin/env bash
# Builds the screenshot tool and grabs the window offscreen in English and Chinese into
# docs/window-en.png and docs/window-zh.png, and a Chinese message box and file dialog into
# docs/zh-messagebox.png and docs/zh-filedialog.png; then QuorvaneStation's window at work over
# simulated packs, tiles in six states, into docs/station-en.png and docs/station-zh.png (about 20 s).
#   tools/screenshots/take.sh [build directory, default build]
set -euo pipefail
cd "$(dirname "$0")/../.."
builddir="${1:-build}"
cmake -S . -B "$builddir" >/dev/null
cmake --build "$builddir" -j2 --target quorvane_screenshots quorvane_stationshots
for name in quorvane_screenshots quorvane_stationshots; do
    tool="$(find "$builddir/tools/screenshots" -maxdepth 1 -type f -name "$name" | head -n1)"
    QT_QPA_PLATFORM=offscreen "$tool" docs
done
