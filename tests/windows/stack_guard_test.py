#!/usr/bin/env python3
"""Stack protection of the Windows deliverables, run under Wine: the guard is
the load configuration's security cookie, which the loader seeds before the
entry point, differently in each process, and which the entry point then
leaves alone; a frame that fits
its buffer returns; a frame that overruns it ends the process at once with
the status of a stack buffer overrun, and never returns.

usage: stack_guard_test.py EMULATOR stack_guard_probe.exe
"""
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from script_checks import check, run_tests  # noqa: E402

EMULATOR, PROBE = sys.argv[1], sys.argv[2]
STACK_BUFFER_OVERRUN = 0xC0000409


def run(word):
    done = subprocess.run([EMULATOR, PROBE, word], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          text=True, timeout=300)
    print(f"{word}: exit {done.returncode}, output {done.stdout.strip()!r}")
    return done.returncode, done.stdout


def test_guard_is_seeded_per_process():
    guards = []
    for _ in range(2):
        _, output = run("guard")
        m = re.search(r"guard ([0-9a-f]+) ([0-9a-f]+) ([0-9a-f]+)", output)
        check(m is not None, f"no guard printed: {output!r}")
        if m:
            guards.append(m.groups())
    for default, at_entry, after in guards:
        check(at_entry != default, "the loader left the security cookie at its default value")
        check(after == at_entry, "the entry point seeded a guard the loader had seeded already")
    if len(guards) == 2:
        check(guards[0][1] != guards[1][1], "two processes got the same guard")


def test_frame_that_fits_returns():
    code, output = run("fit")
    check(code == 0 and "returned" in output, f"a frame within its buffer did not return: exit {code}")


def test_overrun_ends_the_process():
    code, output = run("overrun")
    check("returned" not in output, "the overrunning frame returned")
    # Wine gives the low byte of the Windows status as the exit code.
    check(code == STACK_BUFFER_OVERRUN & 0xFF, f"exit {code}, want the stack buffer overrun status "
                                               f"({STACK_BUFFER_OVERRUN:#x}, low byte {STACK_BUFFER_OVERRUN & 0xFF})")


if __name__ == "__main__":
    sys.exit(run_tests([test_guard_is_seeded_per_process, test_frame_that_fits_returns,
                        test_overrun_ends_the_process]))
