#!/usr/bin/env python3
"""Times the native demo from its start to the sentence on the screen, in a
real terminal (tmux), over several runs; prints the median and the range.

usage: bench/demo_start_time.py [--runs N] [--program build/linux/out/demo]
"""
import argparse
import os
import statistics
import subprocess
import tempfile
import time

SENTENCE = "Dit Is Een Zin."


def tmux(socket, *words):
    return subprocess.run(["tmux", "-L", socket, "-f", "/dev/null", *words], check=True,
                          stdout=subprocess.PIPE, text=True).stdout


def one_run(program, socket, go):
    tmux(socket, "new-session", "-d", "-x", "80", "-y", "25", "-s", "t",
         "bash", "-c", f"while [ ! -e {go} ]; do sleep 0.001; done; exec {program}")
    try:
        open(go, "w").close()
        started = time.monotonic()
        while time.monotonic() - started < 10:
            if SENTENCE in tmux(socket, "capture-pane", "-p", "-t", "t"):
                return time.monotonic() - started
        raise RuntimeError("the sentence never appeared")
    finally:
        subprocess.run(["tmux", "-L", socket, "kill-server"], stderr=subprocess.DEVNULL)
        os.unlink(go)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=20)
    parser.add_argument("--program", default="build/linux/out/demo")
    args = parser.parse_args()
    program = os.path.abspath(args.program)
    times = []
    for run in range(args.runs):
        socket = f"velmorin-start-{os.getpid()}-{run}"
        times.append(one_run(program, socket, os.path.join(tempfile.gettempdir(), f"{socket}.go")))
    ms = sorted(t * 1000 for t in times)
    print(f"demo start to sentence on screen: median {statistics.median(ms):.1f} ms, "
          f"min {ms[0]:.1f} ms, max {ms[-1]:.1f} ms over {len(ms)} runs "
          f"(includes tmux's redraw and the polling of capture-pane)")


if __name__ == "__main__":
    main()
