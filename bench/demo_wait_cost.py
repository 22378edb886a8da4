#!/usr/bin/env python3
"""What the native demo's wait for a key costs: the share of one core it
uses while nobody types, and the time from a key to its exit. The demo runs
on a pseudo-terminal of its own that answers its questions as a terminal
does. A measurement, not a test: it prints figures and fails nothing.

usage: python3 bench/demo_wait_cost.py [BUILD/out] [--seconds N] [--runs N]
"""
import argparse
import os
import select
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "support"))
from pty_child import PtyChild  # noqa: E402

TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS  # utime, stime


def serve(t, seconds):
    """Reads what the demo writes for this long, answering its device
    attributes question as a terminal without the keyboard protocol does."""
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        ready, _, _ = select.select([t.master], [], [], max(end - time.monotonic(), 0))
        if ready:
            try:
                data = os.read(t.master, 65536)
            except OSError:
                return
            t.output += data
            if b"\x1b[c" in data:
                os.write(t.master, b"\x1b[?62;c")


def one_run(demo, seconds):
    t = PtyChild([demo], cwd=os.path.dirname(demo))
    serve(t, 0.5)
    before, started = cpu_seconds(t.child.pid), time.monotonic()
    serve(t, seconds)
    share = (cpu_seconds(t.child.pid) - before) / (time.monotonic() - started)
    os.write(t.master, b"\x1b[15~")  # F5
    pressed = time.monotonic()
    while t.child.poll() is None:
        serve(t, 0.0005)
    latency = time.monotonic() - pressed
    t.close()
    return share, latency


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("out", nargs="?", default=os.path.join("build", "linux", "out"))
    parser.add_argument("--seconds", type=float, default=5.0)
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    demo = os.path.abspath(os.path.join(args.out, "demo"))
    shares, latencies = [], []
    for _ in range(args.runs):
        share, latency = one_run(demo, args.seconds)
        shares.append(share)
        latencies.append(latency)
    print(f"{demo}: {args.runs} runs of {args.seconds:g} s waiting")
    print(f"CPU while waiting: median {statistics.median(shares) * 100:.1f}% of a core "
          f"(min {min(shares) * 100:.1f}%, max {max(shares) * 100:.1f}%)")
    print(f"key to exit: median {statistics.median(latencies) * 1000:.1f} ms "
          f"(min {min(latencies) * 1000:.1f}, max {max(latencies) * 1000:.1f})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
