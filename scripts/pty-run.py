#!/usr/bin/env python3
"""Runs a command with a pseudo-terminal of a chosen size on its standard
input, so that Wine gives it a real console, while its standard output and
error stay ours to read. Exits with the command's own status.

usage: pty-run.py [--size COLSxROWS] [--timeout SECONDS] -- command [args...]
"""
import argparse
import fcntl
import os
import select
import struct
import subprocess
import sys
import termios
import time


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--size", default="80x25")
    parser.add_argument("--timeout", type=float, default=0)
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    command = args.command[1:] if args.command[:1] == ["--"] else args.command
    if not command:
        parser.error("no command")
    cols, rows = (int(v) for v in args.size.split("x"))

    master, slave = os.openpty()
    fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", rows, cols, 0, 0))

    def own_terminal():
        os.setsid()
        fcntl.ioctl(0, termios.TIOCSCTTY, 0)

    child = subprocess.Popen(command, stdin=slave, preexec_fn=own_terminal)
    os.close(slave)
    deadline = time.monotonic() + args.timeout if args.timeout else None
    # The console draws on the terminal; nobody reads it, but it must be drained.
    while child.poll() is None:
        if deadline and time.monotonic() > deadline:
            child.kill()
            child.wait()
            print(f"pty-run: timed out after {args.timeout:.0f} s: {' '.join(command)}", file=sys.stderr)
            return 124
        ready, _, _ = select.select([master], [], [], 0.2)
        if ready:
            try:
                os.read(master, 65536)
            except OSError:
                pass
    os.close(master)
    return child.returncode if child.returncode >= 0 else 128 - child.returncode


if __name__ == "__main__":
    sys.exit(main())
