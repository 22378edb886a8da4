#!/usr/bin/env python3
"""The filter program velmorin run as a shell user runs it, through files
and pipes, each scenario checked against the capitalising model over the
whole input: the pieces' edges inside a file and between files, a zero byte,
an unreadable file, an output that cannot be written, a reader that goes
away, the options.

usage: filter_e2e.py --version V [--wine] [--package SRC --libraries DIR] -- COMMAND...
       COMMAND runs the filter: the native program, `wine velmorin.exe`
       (--wine: in the project's Wine prefix), or `python3 -m velmorin`
       (--package: the Python package's source folder, assembled with the
       libraries from DIR).
"""
import argparse
import os
import pty
import random
import select
import shutil
import subprocess
import sys
import tempfile
import termios
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "support"))
from script_checks import report  # noqa: E402

PIECE = 64 * 1024  # the program's read size; the texts put edges around it and elsewhere


def model(data):
    """VELMORIN over the whole text in one call."""
    out = bytearray(data)
    before = 0x20
    for i, byte in enumerate(data):
        if byte == 0:
            break
        if before == 0x20 and 0x61 <= byte <= 0x7A:
            out[i] = byte - 0x20
        before = byte
    return bytes(out)


def edged_text(size, seed):
    """Words and spaces, with a space as the last byte of a read and a letter
    as the first of the next at every power-of-two edge from 512 bytes on,
    and letter against letter at three times each."""
    rng = random.Random(seed)
    text = bytearray(rng.choice(b"abcxyz  .\n") for _ in range(size))
    edge = 512
    while edge < size:
        text[edge - 1], text[edge] = 0x20, ord("q")
        if 3 * edge < size:
            text[3 * edge - 1], text[3 * edge] = ord("k"), ord("m")
        edge *= 2
    return bytes(text)


class Filter:
    def __init__(self, command, work, env):
        self.command, self.work, self.env = command, work, env

    def file(self, name, data):
        with open(os.path.join(self.work, name), "wb") as f:
            f.write(data)
        return name

    def run(self, args, stdin=b"", stdout=subprocess.PIPE, timeout=300):
        return subprocess.run(self.command + args, input=stdin, stdout=stdout, stderr=subprocess.PIPE,
                              cwd=self.work, env=self.env, timeout=timeout)


def check(failures, name, got, want, errors=b""):
    if got != want:
        failures.append(f"{name}: got {repr(got)[:200]}, want {repr(want)[:200]}; standard error {errors[:300]!r}")


def text_scenarios(f, failures):
    # One file read in pieces: edges at the read size and around it.
    big = edged_text(5 * PIECE + 123, 1)
    r = f.run([f.file("big.txt", big)])
    check(failures, "one file across read edges", (r.returncode, r.stdout), (0, model(big)), r.stderr)

    # The same through a pipe, written in parts that end in a space and a
    # letter, with pauses so that the reads end where the parts do.
    parts = [b"dit is ", b"een zin", b" met ", b"woorden"]
    process = subprocess.Popen(f.command, stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                               cwd=f.work, env=f.env)

    def feed():
        try:
            for part in parts:
                process.stdin.write(part)
                process.stdin.flush()
                time.sleep(0.3)
            process.stdin.close()
        except BrokenPipeError:
            pass  # the program ended early: its output says how

    feeder = threading.Thread(target=feed)
    feeder.start()
    out = process.stdout.read()
    feeder.join()
    process.wait(timeout=60)
    check(failures, "standard input in parts", (process.returncode, out), (0, b"Dit Is Een Zin Met Woorden"))

    # Across files and standard input: a space ending one and a letter
    # starting the next starts a word; a letter ending one does not.
    cases = [
        ([b"ab ", b"cd"], b"Ab Cd"),
        ([b"ab", b"cd ef"], b"Abcd Ef"),
        ([b"x", b" ", b"y"], b"X Y"),
        ([b"", b"ab"], b"Ab"),
    ]
    for i, (contents, want) in enumerate(cases):
        names = [f.file(f"part{i}-{j}.txt", c) for j, c in enumerate(contents)]
        r = f.run(names)
        check(failures, f"files {contents!r}", (r.returncode, r.stdout), (0, want), r.stderr)
    r = f.run([f.file("head.txt", b"een "), "-", f.file("tail.txt", b" zin")], stdin=b"twee")
    check(failures, "a file, standard input, a file", (r.returncode, r.stdout), (0, b"Een Twee Zin"), r.stderr)
    # A whole piece of letters, then a file that starts with one.
    first = b"ab " * (PIECE // 3) + b"c" * (PIECE - 3 * (PIECE // 3))
    r = f.run([f.file("full.txt", first), f.file("next.txt", b"de fg")])
    check(failures, "a file of a full piece then another", (r.returncode, r.stdout), (0, model(first + b"de fg")), r.stderr)

    # After the first zero byte everything passes unchanged: in its piece,
    # in the pieces after it and in the files after it.
    zero = edged_text(3 * PIECE, 2)
    zero = zero[:PIECE - 10] + b"\0" + zero[PIECE - 9:]
    r = f.run([f.file("zero.txt", zero), f.file("after.txt", b" na de nul")])
    check(failures, "a zero byte", (r.returncode, r.stdout), (0, model(zero + b" na de nul")), r.stderr)
    r = f.run([], stdin=b"ab\0 cd")
    check(failures, "a zero byte on standard input", (r.returncode, r.stdout), (0, b"Ab\0 cd"), r.stderr)


def fault_scenarios(f, failures, version):
    # A file that cannot be read: named on standard error, the others still
    # written as one text, status 1.
    r = f.run([f.file("one.txt", b"een "), "missing.txt", f.file("two.txt", b"twee")])
    check(failures, "a missing file's output and status", (r.returncode, r.stdout), (1, b"Een Twee"), r.stderr)
    if b"missing.txt" not in r.stderr:
        failures.append(f"a missing file: the message does not name it: {r.stderr!r}")
    os.makedirs(os.path.join(f.work, "folder"), exist_ok=True)
    r = f.run(["folder"])
    if r.returncode != 1 or b"folder" not in r.stderr:
        failures.append(f"a folder for a file: status {r.returncode}, message {r.stderr!r}")

    # An output that cannot be written: a message and status 1.
    if os.path.exists("/dev/full"):
        with open("/dev/full", "wb") as full:
            r = f.run([f.file("some.txt", b"some text")], stdout=full)
        if r.returncode != 1 or b"output" not in r.stderr:
            failures.append(f"a full output: status {r.returncode}, message {r.stderr!r}")

    # A reader that goes away after the first line: a quiet end, status 0.
    lines = b"een regel tekst\n" * (4 * 1024 * 1024 // 16)
    name = f.file("lines.txt", lines)
    process = subprocess.Popen(f.command + [name], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                               cwd=f.work, env=f.env)
    first = process.stdout.readline()
    process.stdout.close()
    try:
        status = process.wait(timeout=120)
    except subprocess.TimeoutExpired:
        process.kill()
        status = "still running after the reader left"
    errors = process.stderr.read()
    check(failures, "a reader that goes away", (first, status, errors), (b"Een Regel Tekst\n", 0, b""))

    r = f.run(["--version"])
    check(failures, "--version", (r.returncode, r.stdout.replace(b"\r\n", b"\n")), (0, f"velmorin {version}\n".encode()))
    r = f.run(["--help"])
    if r.returncode != 0 or b"usage:" not in r.stdout:
        failures.append(f"--help: status {r.returncode}, {r.stdout[:60]!r}")
    r = f.run(["--frobnicate"])
    if r.returncode != 2 or b"--frobnicate" not in r.stderr:
        failures.append(f"an unknown option: status {r.returncode}, message {r.stderr!r}")
    r = f.run(["--", f.file("-dash.txt", b"streepje")])
    check(failures, "a file named after --", (r.returncode, r.stdout), (0, b"Streepje"), r.stderr)
    r = f.run([f.file("met  twee spaties.txt", b"spaties"), f.file("en nog.txt", b" een")])
    check(failures, "file names with spaces", (r.returncode, r.stdout), (0, b"Spaties Een"), r.stderr)


def terminal_scenario(f, failures):
    """Typed at the terminal, in the terminal's own line mode: the terminal
    echoes the line, the filter answers it capitalised, Ctrl+D ends it. A
    setting another program makes meanwhile (echo off, as `less` does) is
    still there after the filter, which never took the terminal."""
    pid, master = pty.fork()
    if pid == 0:
        os.chdir(f.work)
        os.execvpe(f.command[0], f.command, f.env)
    seen = b""

    def read_until(want, timeout):
        nonlocal seen
        deadline = time.monotonic() + timeout
        while want not in seen and time.monotonic() < deadline:
            if select.select([master], [], [], 0.1)[0]:
                try:
                    seen += os.read(master, 4096)
                except OSError:
                    break
        return want in seen

    time.sleep(1)  # typed once the program runs, not ahead of it
    os.write(master, b"dit is een zin\n")
    echoed = read_until(b"dit is een zin", 10)
    answered = read_until(b"Dit Is Een Zin", 10)
    settings = termios.tcgetattr(master)
    settings[3] &= ~termios.ECHO
    termios.tcsetattr(master, termios.TCSANOW, settings)
    os.write(master, b"\x04")
    deadline = time.monotonic() + 20
    status = None
    while status is None and time.monotonic() < deadline:
        done, raw = os.waitpid(pid, os.WNOHANG)
        status = os.waitstatus_to_exitcode(raw) if done else None
        read_until(b"never", 0.1)
    if status is None:
        os.kill(pid, 9)
        os.waitpid(pid, 0)
    echo_after = bool(termios.tcgetattr(master)[3] & termios.ECHO)
    os.close(master)
    check(failures, "typed at the terminal", (echoed, answered, status, echo_after), (True, True, 0, False), seen)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--version", required=True)
    parser.add_argument("--wine", action="store_true")
    parser.add_argument("--terminal", action="store_true", help="also type at a terminal (native programs)")
    parser.add_argument("--package")
    parser.add_argument("--libraries")
    parser.add_argument("command", nargs="+")
    args = parser.parse_args()
    env = dict(os.environ)
    if args.wine:
        prefix = subprocess.run([os.path.join(HERE, "..", "..", "scripts", "wine-prefix.sh")], check=True,
                                stdout=subprocess.PIPE, text=True).stdout.strip()
        env.update(WINEPREFIX=prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
    failures = []
    with tempfile.TemporaryDirectory(prefix="filter-e2e-") as work:
        if args.package:
            package = os.path.join(work, "python", "velmorin")
            shutil.copytree(args.package, package, ignore=shutil.ignore_patterns("__pycache__"))
            for name in ("libvelmorin.so.1", "libwinstandin.so.1"):
                shutil.copy(os.path.realpath(os.path.join(args.libraries, name)), os.path.join(package, name))
            env["PYTHONPATH"] = os.path.dirname(package)
        f = Filter(args.command, work, env)
        text_scenarios(f, failures)
        fault_scenarios(f, failures, args.version)
        if args.terminal:
            terminal_scenario(f, failures)
    return report(failures, f"{' '.join(os.path.basename(c) for c in args.command)}: every scenario as expected")


if __name__ == "__main__":
    sys.exit(main())
