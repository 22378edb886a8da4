#!/usr/bin/env bash
# Builds the bench preset and runs the benchmark suite: VELMORIN against its
# floor and the byte-at-a-time peer (Google Benchmark), and against the Python
# peer, on the same text at 15 B, 4 KiB, 1 MiB and 64 MiB; then prints one
# table of figures and ratios. Figures only: no result fails this script.
# usage: scripts/bench.sh [--json FILE] [--quick]
#   --json FILE   also write the table and the machine's context as JSON
#   --quick       3 short repetitions instead of 9, for a first look
set -euo pipefail
cd "$(dirname "$0")/.."

json=""
suite_flags=()
peer_flags=()
while [ $# -gt 0 ]; do
    case "$1" in
        --json) json="$(realpath -m "$2")"; shift 2;;
        --quick) suite_flags=(--benchmark_repetitions=3 --benchmark_min_time=0.1)
                 peer_flags=(--repetitions 3 --min-time 0.1); shift;;
        *) echo "usage: scripts/bench.sh [--json FILE] [--quick]" >&2; exit 2;;
    esac
done

cmake --preset bench >/dev/null
cmake --build --preset bench --target velmorin_bench
results=build/bench/results
mkdir -p "$results"
suite=build/bench/bench/velmorin_bench

echo "=== the suite (about a minute)"
"$suite" --write_text="$results"
"$suite" "${suite_flags[@]}" \
    --benchmark_out="$results/native.json" --benchmark_out_format=json >"$results/native.txt"
echo "=== the Python peer (about a minute)"
python3 bench/python_peer.py "${peer_flags[@]}" "$results" "$results/python.json"
echo
python3 bench/report.py "$results/native.json" "$results/python.json" ${json:+--json "$json"}
