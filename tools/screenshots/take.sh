#!/usr/bin/env bash
# Builds the screenshot tool and grabs the window offscreen in English and Chinese into
# docs/window-en.png and docs/window-zh.png, and a Chinese message box and file dialog into
# docs/zh-messagebox.png and docs/zh-filedialog.png.
#   tools/screenshots/take.sh [build directory, default build]
set -euo pipefail
cd "$(dirname "$0")/../.."
builddir="${1:-build}"
cmake -S . -B "$builddir" >/dev/null
cmake --build "$builddir" -j2 --target quorvane_screenshots
tool="$(find "$builddir/tools/screenshots" -maxdepth 1 -type f -name quorvane_screenshots | head -n1)"
QT_QPA_PLATFORM=offscreen "$tool" docs
