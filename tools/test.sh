#!/usr/bin/env bash
# The test command: installs what is missing, builds the trees and the downloads, runs the fuzzers
# with the host tests and the lab's own safety tests beside them, checks the downloads, then inside
# the network lab the Windows tests (ctest, one at a time, under Wine) and the end-to-end suite
# (pytest). Exits non-zero if anything failed.
# Needs root; run by a user, it runs itself again through sudo.
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT" || exit 1
# shellcheck source=tools/as_root.sh
source "$ROOT/tools/as_root.sh"
run_as_root "$ROOT/tools/test.sh" "$@"

# Wine tests that hang are cut off; the end-to-end tests have their own limits (pytest.ini).
readonly WIN_TEST_TIMEOUT=600
HOST_TREE=${QM_BUILD_HOST:-$ROOT/build/host}
WIN_TREE=${QM_BUILD_WIN:-$ROOT/build/win}
export QM_BUILD_HOST=$HOST_TREE QM_BUILD_WIN=$WIN_TREE

declare -A status=() seconds=() started=() pids=() outputs=()
steps=()
step() {
    local name=$1 start=$SECONDS
    shift
    steps+=("$name")
    echo "=== $name"
    "$@"
    status[$name]=$?
    seconds[$name]=$((SECONDS - start))
    echo "=== $name: exit ${status[$name]} after ${seconds[$name]} s"
}

# The fuzzer runs for a fixed time on one core: short steps run beside it, their output shown
# when they are collected.
step_beside() {
    local name=$1
    shift
    steps+=("$name")
    started[$name]=$SECONDS
    outputs[$name]=$(mktemp)
    "$@" >"${outputs[$name]}" 2>&1 &
    pids[$name]=$!
}

collect() {
    local name=$1
    wait "${pids[$name]}"
    status[$name]=$?
    seconds[$name]=$((SECONDS - started[$name]))
    echo "=== $name (run beside the fuzzer)"
    cat "${outputs[$name]}"
    rm -f "${outputs[$name]}"
    echo "=== $name: exit ${status[$name]} after ${seconds[$name]} s"
}

step deps bash tools/install-deps.sh
((status[deps] == 0)) || exit 1
step build bash tools/build.sh
((status[build] == 0)) || exit 1
step_beside host-tests ctest --test-dir "$HOST_TREE" --output-on-failure
step_beside lab-safety env PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 -m pytest -p no:cacheprovider -q tests/lab
step fuzz bash tools/fuzz.sh "${QM_FUZZ_SECONDS:-60}"
collect host-tests
collect lab-safety
# Debian's Python, which has pytest (python3-pytest), whatever python3 comes first on PATH.
step packages /usr/bin/python3 -m pytest -q "$ROOT/tests/packaging"
step windows-tests bash tools/lab.sh run -- \
    ctest --test-dir "$WIN_TREE" --output-on-failure -j1 --timeout "$WIN_TEST_TIMEOUT"
step e2e bash tools/e2e.sh

failed=0
echo "=== summary"
for name in "${steps[@]}"; do
    printf '  %-14s %s  (%s s)\n' "$name" "$([[ ${status[$name]} == 0 ]] && echo ok || echo FAILED)" "${seconds[$name]}"
    [[ ${status[$name]} == 0 ]] || failed=1
done
exit "$failed"
