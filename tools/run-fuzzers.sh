#!/bin/sh
# Runs each libFuzzer target for a bounded time on a copy of its seed corpus.
# A crash, a leak or a time-out fails the run; the input that caused it is
# left in the working folder for a regression test.
# Usage: tools/run-fuzzers.sh <fuzz build dir> [seconds per target]
set -eu
build=$(cd "$1" && pwd)
seconds=${2:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
status=0
for corpus in "$root"/fuzz/corpus/*/; do
    name=$(basename "$corpus")
    mkdir -p "$work/$name"
    cp "$corpus"* "$work/$name/"
    echo "== fuzz_$name for ${seconds}s"
    if ! (cd "$work" && "$build/fuzz_$name" -max_total_time="$seconds" -timeout=10 \
            -rss_limit_mb=2048 -max_len=4096 -print_final_stats=1 "$work/$name" \
            >"$work/$name.log" 2>&1); then
        tail -n 40 "$work/$name.log"
        echo "fuzz_$name failed; inputs kept in $work"
        status=1
    else
        grep -E '^(Done|stat::number_of_executed_units)' "$work/$name.log" || true
    fi
done
[ $status -eq 0 ] && rm -rf "$work"
exit $status
