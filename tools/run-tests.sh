#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test through ctest.
#   tools/run-tests.sh              the normal build, in build/
#   tools/run-tests.sh --sanitize   the same suite under AddressSanitizer + UndefinedBehaviorSanitizer, in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh

builddir=build
cmake_args=()
if [[ "${1:-}" == "--sanitize" ]]; then
    builddir=build-asan
    cmake_args+=(-DQUORVANE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
fi
cmake -S . -B "$builddir" "${cmake_args[@]}" >/dev/null
cmake --build "$builddir" -j2
cd "$builddir"
ctest -j2 --output-on-failure --timeout 300
