#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test through ctest.
#   tools/run-tests.sh              the normal build, in build/
#   tools/run-tests.sh --sanitize   the same suite under AddressSanitizer + UndefinedBehaviorSanitizer, in
#                                   build-asan/ (the tests and what they link; no benchmarks, tour or
#                                   screenshot tool: -DQUORVANE_BUILD_EXTRAS=OFF)
#   tools/run-tests.sh --qt6        every target built against Qt 6, in build-qt6/, and the tests run
# Arguments after the mode go to ctest, e.g. `tools/run-tests.sh -L download` or
# `tools/run-tests.sh --qt6 -L 'codec|window'` (each test folder is a label: tests/CMakeLists.txt).
# Builds compile through ccache (tools/build-env.sh). ctest runs six tests at once (they wait on the
# line or a timer, not on a core: the whole suite takes about 20 s of CPU), four under the sanitizers;
# QUORVANE_CTEST_JOBS overrides it.
set -euo pipefail
cd "$(dirname "$0")/.."

builddir=build
jobs=6
deps=()
cmake_args=()
case "${1:-}" in
    --sanitize)
        builddir=build-asan
        cmake_args+=(-DQUORVANE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DQUORVANE_BUILD_EXTRAS=OFF)
        jobs=4
        shift ;;
    --qt6)
        builddir=build-qt6
        deps+=(--qt6)
        cmake_args+=(-DQUORVANE_QT_MAJOR=6)
        shift ;;
esac
tools/install-deps.sh "${deps[@]}"
source tools/build-env.sh

cmake -S . -B "$builddir" "${cmake_args[@]}" >/dev/null
cmake --build "$builddir" -j2
cd "$builddir"
ctest -j"${QUORVANE_CTEST_JOBS:-$jobs}" --output-on-failure --timeout 300 "$@"
