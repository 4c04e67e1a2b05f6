#!/usr/bin/env bash
# Configures and builds the trees, at most two jobs at a time:
#   build/host     native, with the sanitizers: the device simulator, quillctl and the host tests
#   build/win      MinGW-w64 cross-build: the programs, their Windows tests and the UI probe; then the
#                  Windows download, build/packages/quillmast-<version>-win64.zip
#   build/package  native, without sanitizers or tests: the Linux download,
#                  build/packages/quillctl_<version>_amd64.deb
# Usage: tools/build.sh [host|win|package]...   (no argument: all three)
# QM_BUILD_HOST / QM_BUILD_WIN / QM_BUILD_PACKAGE put the trees elsewhere (as for tools/lab.sh and
# tools/test.sh), QM_PACKAGES the downloads.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
JOBS=${QM_JOBS:-2}
HOST_TREE=${QM_BUILD_HOST:-$ROOT/build/host}
WIN_TREE=${QM_BUILD_WIN:-$ROOT/build/win}
PACKAGE_TREE=${QM_BUILD_PACKAGE:-$ROOT/build/package}
PACKAGES=${QM_PACKAGES:-$ROOT/build/packages}

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
    make_packages "$WIN_TREE"
}

# With clang: GCC 12's optimizer, without the sanitizers, warns of uninitialized reads and overlapping
# copies inside std::optional and std::string that cannot happen, and warnings are errors here.
build_package() {
    CC=clang CXX=clang++ cmake -S "$ROOT" -B "$PACKAGE_TREE" -DCMAKE_BUILD_TYPE=Release \
        -DQM_SANITIZE=OFF -DQM_TESTS=OFF
    cmake --build "$PACKAGE_TREE" -j"$JOBS"
    make_packages "$PACKAGE_TREE"
}

# CPack with the tree's own configuration; the downloads land in $PACKAGES.
make_packages() {
    mkdir -p "$PACKAGES"
    (cd "$1" && cpack -B "$PACKAGES") | grep -E '^CPack: - package: ' || {
        echo "build: cpack failed in $1" >&2
        return 1
    }
    rm -rf "$PACKAGES/_CPack_Packages"
}

trees=("$@")
((${#trees[@]})) || trees=(host win package)
for tree in "${trees[@]}"; do
    case $tree in
    host) build_host ;;
    win) build_win ;;
    package) build_package ;;
    *)
        echo "usage: tools/build.sh [host|win|package]..." >&2
        exit 2
        ;;
    esac
done
