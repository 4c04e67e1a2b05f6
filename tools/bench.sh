#!/usr/bin/env bash
# The benchmark: installs what is missing (and the plotting library), builds, and runs
# bench/run_bench.py in a fresh network lab. Prints the table; the figures and the plot go to
# build/bench/ (figures.json, figures.md, bench.png).
# With `quillctl` first, it runs bench/run_quillctl_bench.py instead: quillctl's figures, in
# build/bench/quillctl.json and quillctl.md.
# Usage: tools/bench.sh [quillctl [--only flood]] [--repeats N] [--out DIR]
# Run it on an otherwise idle machine: the figures are times.
# Needs root; run by a user, it runs itself again through sudo.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=tools/as_root.sh
source "$ROOT/tools/as_root.sh"
run_as_root "$ROOT/tools/bench.sh" "$@"
cd "$ROOT"

bash tools/install-deps.sh
if ! dpkg-query -W -f='${Status}' python3-matplotlib 2>/dev/null | grep -q "install ok installed"; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q python3-matplotlib
fi
bash tools/build.sh
script=bench/run_bench.py
if [[ ${1:-} == quillctl ]]; then
    script=bench/run_quillctl_bench.py
    shift
fi
# Debian's own interpreter, which has the plotting library, whatever python3 comes first on PATH.
exec bash tools/lab.sh run -- /usr/bin/python3 "$script" "$@"
