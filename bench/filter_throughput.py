#!/usr/bin/env python3
"""The filter program against cat on the same file, both writing into a pipe
that one more cat empties: throughput of each, and the filter's share of
cat's. The file (words and spaces) is made once and read once before the
timing, so both read it from the page cache. Runs alternate, and the median
of each with its spread and the load average are printed. Figures only.

usage: python3 bench/filter_throughput.py [--program build/linux/out/velmorin] [--size-mib 1024] [--runs 5]
"""
import argparse
import os
import random
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def make_text(path, size):
    if os.path.exists(path) and os.path.getsize(path) == size:
        return
    rng = random.Random(1)
    block = bytes(rng.choice(b"abcdefghij klmnop qrstuvwxyz\n") for _ in range(1 << 20))
    with open(path, "wb") as f:
        for _ in range(size // len(block)):
            f.write(block)
        f.write(block[:size % len(block)])


def seconds(command, path):
    start = time.perf_counter()
    subprocess.run(["bash", "-c", 'set -o pipefail; "$0" "$1" | cat > /dev/null', command, path], check=True)
    return time.perf_counter() - start


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--program", default=os.path.join(ROOT, "build", "linux", "out", "velmorin"))
    parser.add_argument("--size-mib", type=int, default=1024)
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    if not os.access(args.program, os.X_OK):
        sys.exit(f"no program {args.program}: build the linux preset first")
    folder = os.path.join(ROOT, "build", "filter-bench")
    os.makedirs(folder, exist_ok=True)
    path = os.path.join(folder, f"text-{args.size_mib}MiB.txt")
    size = args.size_mib << 20
    make_text(path, size)
    cat = subprocess.run(["bash", "-c", "command -v cat"], stdout=subprocess.PIPE, text=True).stdout.strip()
    load_before = os.getloadavg()[0]
    seconds(cat, path)  # into the page cache
    times = {"cat": [], "velmorin": []}
    for _ in range(args.runs):
        times["cat"].append(seconds(cat, path))
        times["velmorin"].append(seconds(args.program, path))
    load_after = os.getloadavg()[0]
    rates = {}
    for name, runs in times.items():
        rates[name] = [size / t / (1 << 20) for t in runs]
        print(f"{name:9} {statistics.median(rates[name]):8.0f} MiB/s  (runs {min(rates[name]):.0f} to "
              f"{max(rates[name]):.0f})")
    ratio = statistics.median(rates["velmorin"]) / statistics.median(rates["cat"])
    print(f"velmorin / cat: {ratio:.2f} of cat's throughput on {args.size_mib} MiB into a pipe, "
          f"{args.runs} runs each; load average {load_before:.1f} before, {load_after:.1f} after")


if __name__ == "__main__":
    main()
