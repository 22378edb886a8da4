#!/usr/bin/env bash
# Runs one fuzz target for a bounded time. The committed seeds are only read;
# new inputs go to a corpus of the build's own, and anything found goes to the
# artefacts folder beside it, never into the source tree.
# usage: fuzz/run.sh binary seeds workdir seconds [--fresh]
#   --fresh: start from the seeds alone (as CTest does), not the grown corpus
set -euo pipefail
binary=$1 seeds=$2 work=$3 seconds=$4
[ "${5:-}" = --fresh ] && rm -rf "$work/corpus"
mkdir -p "$work/corpus" "$work/artifacts"
# Inputs are capped at 4 KiB and each must finish within 10 s; a finding,
# a slow input or a leak ends the run with a failing status.
exec "$binary" -max_total_time="$seconds" -max_len=4096 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$work/artifacts/" "$work/corpus" "$seeds" </dev/null
