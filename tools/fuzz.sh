#!/usr/bin/env bash
# Builds the reply fuzzer with clang, replays the seed corpus, then fuzzes for a while.
#   tools/fuzz.sh [SECONDS]     default 60; e.g. tools/fuzz.sh 3600 for an hour
# New inputs are kept in build/fuzz/corpus (the committed seeds stay as they are); a crash leaves
# its input in build/fuzz/ as crash-*, which then belongs in tests/fuzz/corpus with a regression test.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-60}
build=$root/build/fuzz
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DQM_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target reply_fuzzer >/dev/null
fuzzer=$build/bin/reply_fuzzer
mkdir -p "$build/corpus"
cd "$build"
echo "fuzz: replaying the seed corpus"
"$fuzzer" -runs=0 "$root/tests/fuzz/corpus"
echo "fuzz: fuzzing for ${seconds}s"
status=0
"$fuzzer" -max_total_time="$seconds" -max_len=70010 -print_final_stats=1 "$build/corpus" "$root/tests/fuzz/corpus" \
    >"$build/fuzz.log" 2>&1 || status=$?
grep -E "INITED|DONE|stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)|ERROR|SUMMARY|invariant" \
    "$build/fuzz.log" || true
if ((status != 0)); then
    echo "fuzz: FAILED (exit $status); the input is in $build (crash-*); full log: $build/fuzz.log"
    exit 1
fi
echo "fuzz: no crash, no broken invariant"
