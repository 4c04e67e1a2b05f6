#!/usr/bin/env bash
# Builds the fuzzers with clang, replays their seed corpora, then fuzzes each for a while:
#   reply_fuzzer  the reply parser and the device table  (seeds: tests/fuzz/corpus)
#   plan_fuzzer   quillctl's plan reader and checks      (seeds: tests/fuzz/plan_corpus)
#   wsd_fuzzer    quillctl's WS-Discovery reader         (seeds: tests/fuzz/wsd_corpus)
#   soap_fuzzer   quillctl's SOAP answer reader          (seeds: tests/fuzz/soap_corpus)
#   tools/fuzz.sh [SECONDS]     default 60 each; e.g. tools/fuzz.sh 3600 for an hour each
# New inputs are kept in build/fuzz/<fuzzer>-corpus (the committed seeds stay as they are); a crash
# leaves its input in build/fuzz/ as crash-*, which then belongs in the seeds with a regression test.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-60}
build=$root/build/fuzz
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DQM_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target reply_fuzzer plan_fuzzer wsd_fuzzer soap_fuzzer >/dev/null
cd "$build"

# fuzz NAME SEEDS MAX_LEN
fuzz() {
    local name=$1 seeds=$2 max_len=$3 fuzzer=$build/bin/$1 status=0
    mkdir -p "$build/$name-corpus"
    echo "fuzz: $name: replaying the seed corpus"
    "$fuzzer" -runs=0 "$seeds"
    echo "fuzz: $name: fuzzing for ${seconds}s"
    "$fuzzer" -max_total_time="$seconds" -max_len="$max_len" -print_final_stats=1 "$build/$name-corpus" "$seeds" \
        >"$build/$name.log" 2>&1 || status=$?
    grep -E "INITED|DONE|stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)|ERROR|SUMMARY|invariant" \
        "$build/$name.log" || true
    if ((status != 0)); then
        echo "fuzz: $name FAILED (exit $status); the input is in $build (crash-*); full log: $build/$name.log"
        return 1
    fi
}

failed=0
fuzz reply_fuzzer "$root/tests/fuzz/corpus" 70010 || failed=1
fuzz plan_fuzzer "$root/tests/fuzz/plan_corpus" 16384 || failed=1
fuzz wsd_fuzzer "$root/tests/fuzz/wsd_corpus" 65536 || failed=1
fuzz soap_fuzzer "$root/tests/fuzz/soap_corpus" 65536 || failed=1
((failed == 0)) || exit 1
echo "fuzz: no crash, no broken invariant"
