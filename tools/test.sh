#!/usr/bin/env bash
# The test command: installs what is missing, builds the trees and the downloads, runs the host
# tests, the fuzzers, the checks of the downloads, then the Windows tests one at a time inside the
# network lab (they run under Wine, and some of them send and receive datagrams). Exits non-zero if
# anything failed.
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT" || exit 1
# Wine tests that hang are cut off; e2e tests set their own, shorter limits.
readonly WIN_TEST_TIMEOUT=600
HOST_TREE=${QM_BUILD_HOST:-$ROOT/build/host}
WIN_TREE=${QM_BUILD_WIN:-$ROOT/build/win}
export QM_BUILD_HOST=$HOST_TREE QM_BUILD_WIN=$WIN_TREE

if ((EUID != 0)); then
    echo "test: run as root (sudo tools/test.sh): the network lab needs it" >&2
    exit 1
fi

declare -A status=() seconds=()
step() {
    local name=$1 start=$SECONDS
    shift
    echo "=== $name"
    "$@"
    status[$name]=$?
    seconds[$name]=$((SECONDS - start))
    echo "=== $name: exit ${status[$name]} after ${seconds[$name]} s"
}

step deps bash tools/install-deps.sh
((status[deps] == 0)) || exit 1
step build bash tools/build.sh
((status[build] == 0)) || exit 1
step host-tests ctest --test-dir "$HOST_TREE" --output-on-failure
step fuzz bash tools/fuzz.sh "${QM_FUZZ_SECONDS:-60}"
# Debian's Python, which has pytest (python3-pytest), whatever python3 comes first on PATH.
step packages /usr/bin/python3 -m pytest -q "$ROOT/tests/packaging"
step windows-tests bash tools/lab.sh run -- \
    ctest --test-dir "$WIN_TREE" --output-on-failure -j1 --timeout "$WIN_TEST_TIMEOUT"

failed=0
echo "=== summary"
for name in deps build host-tests fuzz packages windows-tests; do
    printf '  %-14s %s  (%s s)\n' "$name" "$([[ ${status[$name]} == 0 ]] && echo ok || echo FAILED)" "${seconds[$name]}"
    [[ ${status[$name]} == 0 ]] || failed=1
done
exit "$failed"
