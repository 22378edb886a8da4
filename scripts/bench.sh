#!/usr/bin/env bash
# Builds and runs the benchmarks: VELMORIN against its floor and the
# byte-at-a-time peer on the same text at 15 B, 4 KiB, 1 MiB and 64 MiB, with
# each capitalising copy this processor runs (SSE2, AVX2, AVX-512), from the
# native build (Google Benchmark, on the stand-in's allocator) and from the
# win64 and win32 DLLs under Wine (a MinGW-built program, on oleaut32's
# allocator, in five processes); the Python peer once. Besides the floor, a
# floor copying no wider than each forced copy and a plain copy at 64 MiB.
# Prints one table. Figures only: no result fails this script.
# usage: scripts/bench.sh [--json FILE] [--quick] [--native-only]
#   --json FILE     also write the table and the machine's context as JSON
#   --quick         3 short repetitions instead of 9 (2 a process under Wine), for a first look
#   --native-only   leave out the Windows DLLs
set -euo pipefail
cd "$(dirname "$0")/.."

json=""
suite_flags=()
peer_flags=()
# Under Wine a process's figures differ from the next one's (where its
# strings and code land): five processes, each with fewer repetitions.
windows_flags=(3 0.2)
windows_processes=5
windows=yes
while [ $# -gt 0 ]; do
    case "$1" in
        --json) json="$(realpath -m "$2")"; shift 2;;
        --quick) suite_flags=(--benchmark_repetitions=3 --benchmark_min_time=0.1)
                 peer_flags=(--repetitions 3 --min-time 0.1)
                 windows_flags=(2 0.1); shift;;
        --native-only) windows=no; shift;;
        *) echo "usage: scripts/bench.sh [--json FILE] [--quick] [--native-only]" >&2; exit 2;;
    esac
done

results=build/bench/results
rm -rf "$results"
mkdir -p "$results"

# The copies this processor has; VELMORIN_WIDEST_COPY caps the library's
# choice to each in turn. The library's own check also asks the system; the
# suite's context records the copy that was in use.
paths=(sse2)
grep -qw avx2 /proc/cpuinfo && paths+=(avx2)
grep -qw avx512f /proc/cpuinfo && grep -qw avx512bw /proc/cpuinfo && paths+=(avx512)
echo "=== copies measured: ${paths[*]}"

load() { cut -d' ' -f1-3 /proc/loadavg; }
# Runs one measurement, with the load average before and after it beside its figures.
measure() {
    local name=$1; shift
    echo "before $(load)" >"$results/load-$name.txt"
    "$@"
    echo "after $(load)" >>"$results/load-$name.txt"
}

cmake --preset bench >/dev/null
cmake --build --preset bench --target velmorin_bench
suite=build/bench/bench/velmorin_bench
"$suite" --write_text="$results"
for path in "${paths[@]}"; do
    echo "=== the native suite, $path copy (about a minute)"
    VELMORIN_WIDEST_COPY=$path measure "native-$path" "$suite" "${suite_flags[@]}" \
        --benchmark_out="$results/native-$path.json" --benchmark_out_format=json >"$results/native-$path.txt" 2>&1
done
echo "=== the Python peer (about a minute)"
python3 bench/python_peer.py "${peer_flags[@]}" "$results" "$results/python.json"

# How this machine runs 32-bit programs: natively, through qemu-i386 (whose
# times say nothing about the processor), or not at all.
ia32_runner() {
    local bm=/proc/sys/fs/binfmt_misc entry
    for entry in "$bm"/*; do
        [ -f "$entry" ] || continue
        if head -1 "$entry" | grep -qx enabled && grep -q '^interpreter .*qemu-i386' "$entry"; then
            echo qemu; return
        fi
    done
    case "$(/lib/ld-linux.so.2 --version 2>/dev/null | head -1)" in ld.so*) echo native;; *) echo none;; esac
}

if [ "$windows" = yes ]; then
    if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null || ! command -v wine >/dev/null; then
        echo "=== no MinGW or Wine here: the Windows DLLs are left out (scripts/setup.sh installs them)"
        echo "MinGW or Wine not installed" >"$results/win64-status.txt"
        echo "MinGW or Wine not installed" >"$results/win32-status.txt"
    else
        WINEPREFIX=$(bash scripts/wine-prefix.sh)
        export WINEPREFIX WINEDEBUG=-all
        for target in win64 win32; do
            if [ "$target" = win32 ]; then
                triple=i686-w64-mingw32 loader=/usr/lib/wine/wine runner=$(ia32_runner)
                if [ "$runner" != native ]; then
                    case "$runner" in
                        qemu) why="32-bit programs run through qemu-i386 here: emulated times, not measured";;
                        *) why="this machine cannot run 32-bit programs";;
                    esac
                    echo "=== win32: $why"
                    echo "$why" >"$results/win32-status.txt"
                    continue
                fi
            else
                triple=x86_64-w64-mingw32 loader=/usr/lib/wine/wine64
            fi
            echo "=== $target: the DLL and the benchmark program"
            # A build of its own: only there may the variable cap the copy.
            cmake --preset "$target" -B "build/$target-bench" -DVELMORIN_COPY_SWITCH=ON >/dev/null
            cmake --build "build/$target-bench" --target velmorin
            program="$results/velmorin_bench_$target.exe"
            "$triple-g++-posix" -O2 -std=c++17 -I. -static -o "$program" \
                bench/windows_bench.cpp bench/peers.cpp bench/sample_text.cpp -loleaut32
            dll=$(winepath -w "build/$target-bench/out/VELMORIN.DLL")
            for path in "${paths[@]}"; do
                echo "=== $target under Wine, $path copy, $windows_processes processes (about a minute)"
                echo "before $(load)" >"$results/load-$target-$path.txt"
                for process in $(seq "$windows_processes"); do
                    VELMORIN_WIDEST_COPY=$path "$loader" "$program" "$dll" \
                        "$(winepath -w "$results/$target-$path-$process.json")" "${windows_flags[@]}"
                    # The report counts the processes it has figures from; say which gave none.
                    [ -f "$results/$target-$path-$process.json" ] ||
                        echo "=== $target, $path copy: process $process left no figures"
                done
                echo "after $(load)" >>"$results/load-$target-$path.txt"
            done
        done
    fi
fi
echo
python3 bench/report.py "$results" ${json:+--json "$json"}
