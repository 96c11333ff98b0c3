#!/usr/bin/env bash
# Pictures of the window's notices and questions for the guide's troubleshooting table, in English
# and Chinese, into docs/notices/: the window tests that show them save what they see
# (QUORVANE_SHOTS_DIR), against the pack simulator, offscreen.
#   tools/screenshots/notices.sh [build directory, default build]
set -euo pipefail
cd "$(dirname "$0")/../.."
builddir="${1:-build}"
cmake -S . -B "$builddir" >/dev/null
cmake --build "$builddir" -j2 --target tst_downloadnotices
out="$PWD/docs/notices"
mkdir -p "$out"
for function in startAsksWhileRunning versionUnanswered endUnconfirmedOnTop; do
    QT_QPA_PLATFORM=offscreen QUORVANE_SHOTS_DIR="$out" \
        "$builddir/testbin/tst_downloadnotices/tst_downloadnotices" "$function"
done
ls "$out"
