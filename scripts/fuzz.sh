#!/usr/bin/env bash
# Builds the fuzz preset and runs fuzz targets for longer than CI does, one at
# a time, growing each target's corpus in build/fuzz; prints what each run
# did: executions, speed, coverage (libFuzzer's cov and ft) and corpus size.
# usage: scripts/fuzz.sh [target] [seconds]   (default: every target, 300 s each)
#   targets: velmorin key_decoder screen_writer
set -euo pipefail
cd "$(dirname "$0")/.."

all=(velmorin key_decoder screen_writer)
if [ -n "${1:-}" ]; then
    case " ${all[*]} " in *" $1 "*) ;; *) echo "fuzz.sh: no target '$1' (${all[*]})" >&2; exit 2;; esac
    targets=("$1")
else
    targets=("${all[@]}")
fi
seconds=${2:-300}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

summary=()
for t in "${targets[@]}"; do
    work=build/fuzz/runs/$t
    mkdir -p "$work"
    echo "=== $t: ${seconds} s"
    status=0
    fuzz/run.sh "build/fuzz/fuzz/fuzz_$t" "fuzz/corpus/$t" "$work" "$seconds" >"$work/last.log" 2>&1 || status=$?
    done_line=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$work/last.log" | tail -1 || true)
    stat() { sed -n "s/^stat::$1:[[:space:]]*//p" "$work/last.log" | tail -1; }
    cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$done_line")
    ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$done_line")
    corp=$(sed -n 's/.* corp: \([0-9]*\/[0-9a-zA-Z]*\).*/\1/p' <<<"$done_line")
    line="$t: $(stat number_of_executed_units) executions, $(stat average_exec_per_sec) exec/s, cov ${cov:-?}, ft ${ft:-?}, corpus ${corp:-?} (entries/bytes), $(ls "$work/corpus" | wc -l) files kept"
    if [ "$status" -ne 0 ]; then
        line="$line; FINDING (status $status): see $work/last.log and $work/artifacts/"
    fi
    echo "$line"
    summary+=("$line")
done

echo "=== summary"
printf '%s\n' "${summary[@]}"
for line in "${summary[@]}"; do case "$line" in *FINDING*) exit 1;; esac; done
