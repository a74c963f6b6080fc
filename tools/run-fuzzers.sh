#!/bin/sh
# Runs each libFuzzer target for a bounded time on a copy of its seed corpus,
# with its dictionary where it has one (fuzz/<name>.dict). A crash, a leak, a
# time-out (5 s) or more than 512 MiB of memory fails the run (for the spray
# maker, whose pictures are read under those limits, only a crash or a leak);
# the input that caused it is left in the working folder for a regression test.
# Usage: tools/run-fuzzers.sh <fuzz build dir> [seconds per target] [target...]
set -eu
build=$(cd "$1" && pwd)
seconds=${2:-60}
shift $(($# < 2 ? $# : 2))
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
status=0
# The memory bound is the readers' promise, not AddressSanitizer's: its quarantine
# of freed blocks (256 MiB by default) would count against it and end a clean run
# late by chance. A fixed seed lets anyone repeat what a run found.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=32"
seed=${FUZZ_SEED:-1}
for corpus in "$root"/fuzz/corpus/*/; do
    name=$(basename "$corpus")
    if [ $# -gt 0 ] && ! echo " $* " | grep -q " $name "; then
        continue
    fi
    # Spray files run to 20 KiB and more, and caches hold several; pictures need
    # room for their structure (the decoder may take a thousand times their
    # size); text formats far less.
    case $name in
        decal) max_len=65536 ;;
        seen_sprays) max_len=16384 ;;
        spray_maker) max_len=16384 ;;
        *) max_len=4096 ;;
    esac
    dict=""
    [ -f "$root/fuzz/$name.dict" ] && dict="-dict=$root/fuzz/$name.dict"
    # The spray maker's picture reader runs under limits of its own, the same 512 MiB
    # and 5 s (spray_maker/picture_reader.h): a picture past them is one its system
    # ends and the maker refuses. For that target a time-out or running out of memory
    # is no finding, so libFuzzer runs it in fork mode and goes on past them; a crash,
    # a leak or a failed check still fails the run.
    limits_are_refusals=""
    [ "$name" = spray_maker ] && limits_are_refusals="-fork=1 -ignore_timeouts=1 -ignore_ooms=1"
    mkdir -p "$work/$name"
    cp "$corpus"* "$work/$name/"
    echo "== fuzz_$name for ${seconds}s"
    # shellcheck disable=SC2086 # dict and limits_are_refusals are words or none
    if ! (cd "$work" && "$build/fuzz_$name" -max_total_time="$seconds" -timeout=5 -seed="$seed" \
            -rss_limit_mb=512 -max_len=$max_len $dict $limits_are_refusals -print_final_stats=1 \
            "$work/$name" >"$work/$name.log" 2>&1); then
        tail -n 40 "$work/$name.log"
        echo "fuzz_$name failed; inputs kept in $work"
        status=1
    else
        # Fork mode reports as it goes: its last line counts the inputs and those ended at a limit.
        grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb|#[0-9]+: cov:)' \
            "$work/$name.log" | tail -n 3 || true
    fi
done
[ $status -eq 0 ] && rm -rf "$work"
exit $status
