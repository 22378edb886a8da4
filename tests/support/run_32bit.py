#!/usr/bin/env python3
"""Runs a 32-bit test program with the limits that 32-bit Wine needs under
qemu-i386 user emulation (see tests/CMakeLists.txt), but only where 32-bit
programs run through it: where the kernel runs them itself, the program runs
as on every other target. Decided each time the test runs, as machines differ.

usage: run_32bit.py NAME=VALUE... -- command [args...]
"""
import os
import sys

BINFMT = "/proc/sys/fs/binfmt_misc"


def through_qemu():
    """True when an enabled binfmt_misc entry hands 32-bit x86 programs to
    qemu-i386: the kernel tries those before running a program itself."""
    try:
        with open(os.path.join(BINFMT, "status")) as f:
            if f.read().strip() != "enabled":
                return False
        names = os.listdir(BINFMT)
    except OSError:
        return False
    for name in names:
        if name in ("status", "register"):
            continue
        try:
            with open(os.path.join(BINFMT, name)) as f:
                lines = f.read().splitlines()
        except OSError:
            continue
        if lines and lines[0] == "enabled" and any(
                line.startswith("interpreter") and "qemu-i386" in line for line in lines):
            return True
    return False


def main():
    split = sys.argv.index("--")
    limits = dict(pair.split("=", 1) for pair in sys.argv[1:split])
    command = sys.argv[split + 1:]
    env = dict(os.environ)
    if through_qemu():
        print("note: 32-bit programs run through qemu-i386 here: " + ", ".join(limits), flush=True)
        env.update(limits)
    os.execvpe(command[0], command, env)


if __name__ == "__main__":
    main()
