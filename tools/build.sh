#!/usr/bin/env bash
# Configures and builds both trees, at most two jobs at a time:
#   build/host  native: the device simulator and the host tests
#   build/win   MinGW-w64 cross-build: the program, its Windows tests and the UI probe
# Usage: tools/build.sh [host|win]...   (no argument: both)
# QM_BUILD_HOST / QM_BUILD_WIN put the trees elsewhere (as for tools/lab.sh and tools/test.sh).
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
JOBS=${QM_JOBS:-2}
HOST_TREE=${QM_BUILD_HOST:-$ROOT/build/host}
WIN_TREE=${QM_BUILD_WIN:-$ROOT/build/win}

build_host() {
    cmake -S "$ROOT" -B "$HOST_TREE" -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build "$HOST_TREE" -j"$JOBS"
}

# GoogleTest discovery runs the test binaries; under Wine that may only happen inside the lab, so it
# is done when ctest runs (there) and not after each build.
build_win() {
    cmake -S "$ROOT" -B "$WIN_TREE" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64.cmake" \
        -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST
    cmake --build "$WIN_TREE" -j"$JOBS"
}

trees=("$@")
((${#trees[@]})) || trees=(host win)
for tree in "${trees[@]}"; do
    case $tree in
    host) build_host ;;
    win) build_win ;;
    *)
        echo "usage: tools/build.sh [host|win]..." >&2
        exit 2
        ;;
    esac
done
