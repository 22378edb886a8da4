#!/usr/bin/env python3
"""The peer a Python user reaches for instead of VELMORIN, timed on the
benchmark suite's own sample texts (velmorin_bench --write_text=DIR):

    b" ".join(w[:1].upper() + w[1:] for w in s.split(b" "))

On text without zero bytes it gives the same bytes as VELMORIN. Times are
medians per call of process CPU time, as the suite reports, and of wall time.

usage: python_peer.py TEXT_DIR OUT.json [--repetitions N] [--min-time SECONDS]
"""
import argparse
import gc
import json
import os
import platform
import statistics
import time

SIZES = [15, 4 << 10, 1 << 20, 64 << 20]


def capitalise(s):
    return b" ".join(w[:1].upper() + w[1:] for w in s.split(b" "))


def time_calls(text, loops):
    """CPU and wall seconds per call over `loops` calls, with the collector
    off, as timeit does."""
    gc.disable()
    try:
        cpu, wall = time.process_time(), time.perf_counter()
        for _ in range(loops):
            capitalise(text)
        return (time.process_time() - cpu) / loops, (time.perf_counter() - wall) / loops
    finally:
        gc.enable()


def measure(text, repetitions, min_time):
    # Enough calls per repetition to fill min_time; at least one.
    loops = 1
    while True:
        cpu, _ = time_calls(text, loops)
        if cpu * loops >= min_time / 4 or loops >= 1 << 24:
            break
        loops *= 4
    loops = max(1, int(loops * min_time / max(cpu * loops, 1e-9)))
    # A call of several seconds needs fewer repetitions to be steady.
    if cpu > 1.0:
        repetitions = min(repetitions, 3)
    runs = [time_calls(text, loops) for _ in range(repetitions)]
    cpus = [c for c, _ in runs]
    return {
        "cpu_time_ns": statistics.median(cpus) * 1e9,
        "real_time_ns": statistics.median(w for _, w in runs) * 1e9,
        "cv": statistics.pstdev(cpus) / statistics.mean(cpus) if len(cpus) > 1 else 0.0,
        "repetitions": repetitions,
        "iterations": loops,
    }


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("text_dir")
    parser.add_argument("out")
    parser.add_argument("--repetitions", type=int, default=9)
    parser.add_argument("--min-time", type=float, default=0.3)
    args = parser.parse_args()

    results = []
    for size in SIZES:
        with open(os.path.join(args.text_dir, f"text-{size}.bin"), "rb") as f:
            text = f.read()
        if len(text) != size or b"\0" in text:
            raise SystemExit(f"text-{size}.bin: want {size} bytes without a zero byte")
        figures = measure(text, args.repetitions, args.min_time)
        figures.update(name=f"python/bytes:{size}", bytes=size)
        results.append(figures)
        print(f"python/bytes:{size:<10} {figures['cpu_time_ns'] / 1e3:14.3f} us CPU"
              f" ({figures['repetitions']} x {figures['iterations']} calls)", flush=True)

    context = {"python": platform.python_version(), "implementation": platform.python_implementation()}
    with open(args.out, "w") as f:
        json.dump({"context": context, "benchmarks": results}, f, indent=2)


if __name__ == "__main__":
    main()
