#!/usr/bin/env bash
# Counts the instructions of one VELMORIN call with callgrind, which counts
# rather than times, so the figures do not move with the machine's load: the
# instructions of 1000 calls less those of none, divided by 1000, for 15 B
# and 4 KiB texts and each capitalising copy callgrind runs (SSE2, AVX2; it
# has no AVX-512). On the bench preset's native build.
# usage: scripts/call_cost.sh
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset bench >/dev/null
cmake --build --preset bench --target velmorin >/dev/null
out=build/bench/out
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
g++ -O2 -I. bench/call_cost.cpp -L"$out" -lvelmorin -lwinstandin -Wl,-rpath,"$PWD/$out" -o "$work/call_cost"

# Instructions of the whole run, from callgrind's summary line.
instructions() {
    VELMORIN_WIDEST_COPY=$1 valgrind --tool=callgrind --callgrind-out-file="$work/out" "$work/call_cost" "$2" "$3" \
        2>&1 | sed -n 's/.*Collected : \([0-9]*\).*/\1/p'
}

paths=(sse2)
grep -qw avx2 /proc/cpuinfo && paths+=(avx2)
printf '%-6s %8s %14s\n' copy bytes "instructions"
for path in "${paths[@]}"; do
    for bytes in 15 4096; do
        none=$(instructions "$path" "$bytes" 0)
        many=$(instructions "$path" "$bytes" 1000)
        printf '%-6s %8s %14s\n' "$path" "$bytes" "$(((many - none) / 1000))"
    done
done
