#!/usr/bin/env bash
# The end-to-end suite (tests/e2e) in one pytest run inside a fresh network lab:
#   tools/e2e.sh                     every test; summary line, JUnit XML in build/e2e/junit.xml
#   tools/e2e.sh -k ip_change        only the tests whose name matches (any pytest option works)
#   tools/e2e.sh tests/e2e/test_probe.py::test_reading_the_list     one test by its pytest name
# Needs both trees built (tools/build.sh). Logs of a failed test stay in build/e2e/logs/ and are
# named in the report. Needs root; run by a user, it runs itself again through sudo.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=tools/as_root.sh
source "$ROOT/tools/as_root.sh"
run_as_root "$ROOT/tools/e2e.sh" "$@"

mkdir -p "$ROOT/build/e2e"

# The ONVIF client the simulated cameras are checked against: npm's package at the version its lock file
# pins, installed into the host build tree and again only when the lock file changes.
install_onvif_client() {
    local source=$ROOT/tests/e2e/onvif_client target=${QM_BUILD_HOST:-$ROOT/build/host}/onvif_client
    if [[ -d $target/node_modules ]] && cmp -s "$source/package-lock.json" "$target/package-lock.json"; then
        return 0
    fi
    command -v npm >/dev/null || {
        echo "e2e: npm not found: run tools/install-deps.sh" >&2
        return 1
    }
    mkdir -p "$target"
    cp "$source/package.json" "$source/package-lock.json" "$target/"
    (cd "$target" && npm ci --ignore-scripts --no-audit --no-fund --loglevel=error)
}
install_onvif_client

# The whole folder, unless the arguments name test files or tests themselves.
targets=("$ROOT/tests/e2e")
for arg in "$@"; do
    [[ $arg == *.py || $arg == *.py::* ]] && targets=()
done
# Debian's interpreter, which has pytest, whatever python3 comes first on PATH; no bytecode files
# of root's in the source tree.
exec bash "$ROOT/tools/lab.sh" run -- env PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 -m pytest \
    -c "$ROOT/tests/e2e/pytest.ini" --rootdir "$ROOT/tests/e2e" \
    --junitxml "$ROOT/build/e2e/junit.xml" "$@" "${targets[@]}"
