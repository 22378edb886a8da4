#!/usr/bin/env python3
"""The native demo under hostile conditions: its terminal resized while it
waits, signals that end it, no controlling terminal, standard output closed, a
terminal that answers no queries, and one whole run under Valgrind.

usage: hostile_demo.py BUILD/out [--valgrind]
With --valgrind only the Valgrind run is made (it needs valgrind on PATH).
"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import termios
import time
import tty

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from pty_child import PtyChild  # noqa: E402
from script_checks import check, run_tests  # noqa: E402

OUT = os.path.abspath(sys.argv[1])
DEMO = os.path.join(OUT, "demo")
SENTENCE = b"Dit Is Een Zin."
HAND_BACK = b"\x1b[0m\x1b[?7h\x1b[?25h"



def Pty(command, closed=()):
    """The demo on a pseudo-terminal of its own, which, like every terminal
    here, answers none of the queries the stand-in sends."""
    return PtyChild(command, closed=closed, cwd=OUT)


def test_signals_while_waiting_give_the_terminal_back():
    # Every signal whose default action ends the process and that can be caught.
    for number in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP, signal.SIGUSR1, signal.SIGUSR2, signal.SIGALRM,
                   signal.SIGPIPE, signal.SIGXCPU, signal.SIGXFSZ, signal.SIGVTALRM, signal.SIGPROF,
                   signal.SIGRTMIN, signal.SIGRTMAX):
        t = Pty([DEMO])
        check(t.read_until(SENTENCE, 10), f"{number.name}: the sentence never appeared")
        t.drain(0.3)
        check(t.raw(), f"{number.name}: the terminal is not raw while the demo waits")
        t.child.send_signal(number)
        code = t.wait(10)
        check(code == -number, f"{number.name}: ended with {code}, not by the signal")
        check(t.settings_restored(), f"{number.name}: terminal settings not given back")
        check(t.output.endswith(HAND_BACK), f"{number.name}: no hand-back bytes at the end")
        t.close()


def test_a_hang_up_ends_the_wait():
    # The terminal goes away for real: its other side is closed.
    t = Pty([DEMO])
    check(t.read_until(SENTENCE, 10), "hang-up: the sentence never appeared")
    os.close(t.master)
    t.master = os.open("/dev/null", os.O_RDONLY)
    code = t.wait(10)
    check(code == -signal.SIGHUP, f"hang-up: ended with {code}, not by SIGHUP")
    t.close()


def test_a_vanished_terminal_ends_the_wait_when_hang_up_is_ignored():
    # As under nohup: the hang-up does not end it, the console input being
    # gone does, within a second and with the status of a normal end.
    t = Pty(["sh", "-c", "trap '' HUP; exec \"$0\"", DEMO])
    check(t.read_until(SENTENCE, 10), "ignored hang-up: the sentence never appeared")
    t.drain(0.3)
    os.close(t.master)
    t.master = os.open("/dev/null", os.O_RDONLY)
    closed = time.monotonic()
    code = t.wait(5)
    took = time.monotonic() - closed
    check(code == 0, f"ignored hang-up: ended with {code}, not 0")
    check(took < 1.0, f"ignored hang-up: {took:.2f} s from the hang-up to the end")
    print(f"ignored hang-up: ended with {code}, {took * 1000:.0f} ms after the hang-up")
    t.close()


def left_for_the_next_program(t):
    """What the terminal's input still holds once the demo has ended."""
    tty.setraw(t.slave, termios.TCSANOW)  # the canonical line, unfinished, becomes readable
    os.set_blocking(t.slave, False)
    left = b""
    try:
        while True:
            chunk = os.read(t.slave, 65536)
            if not chunk:
                break
            left += chunk
    except BlockingIOError:
        pass
    return left


def test_text_typed_ahead_goes_back_whole_and_as_much_as_fits():
    with open("/proc/sys/dev/tty/legacy_tiocsti") as f:
        if f.read().strip() == "0":
            print("SKIP: the kernel refuses TIOCSTI")
            return
    wide = "\u00e9".encode() * 2500
    for name, typed, want in (("cut UTF-8", b"x\xe6\x97", b"x\xe6\x97"),
                              ("a surrogate", b"x\xed\xa0\x80y", b"x\xed\xa0\x80y"),
                              ("past U+10FFFF", b"x\xf4\x90\x80\x80y", b"x\xf4\x90\x80\x80y"),
                              ("more than the input holds", b"xy" + wide, b"xy" + wide[:4092])):
        t = Pty([DEMO])
        check(t.read_until(b"\x1b[c", 10), f"{name}: the demo never looked at its input")
        view = memoryview(typed)
        while view:
            view = view[os.write(t.master, view):]
        code = t.wait(10)
        check(code == 0, f"{name}: ended with {code}")
        left = left_for_the_next_program(t)
        check(left == want, f"{name}: given back {len(left)} bytes {left[-12:]!r}, not {len(want)} {want[-12:]!r}")
        t.close()


def test_an_ending_signal_waits_briefly_for_an_owed_answer():
    # The terminal's answer to the stand-in's question comes while the demo
    # is ending on SIGTERM: it is taken, not left for the next program.
    t = Pty([DEMO])
    check(t.read_until(b"\x1b[c", 10), "owed answer: the demo never asked the terminal")
    os.write(t.master, b"x")
    time.sleep(0.3)  # in the exit, waiting for the answer
    t.child.send_signal(signal.SIGTERM)
    time.sleep(0.05)
    os.write(t.master, b"\x1b[?62;c")
    code = t.wait(10)
    check(code == -signal.SIGTERM, f"owed answer: ended with {code}, not by SIGTERM")
    check(t.settings_restored(), "owed answer: terminal settings not given back")
    left = left_for_the_next_program(t)
    check(left == b"", f"owed answer: left for the next program: {left!r}")
    t.close()


def test_closed_standard_output_draws_through_standard_error():
    t = Pty([DEMO], closed=(1,))
    check(t.read_until(SENTENCE, 10), "stdout closed: the sentence never appeared on standard error's terminal")
    os.write(t.master, b"x")
    check(t.wait(10) == 0, "stdout closed: no exit 0 after a key")
    check(t.settings_restored(), "stdout closed: terminal settings not given back")
    t.close()

    # With neither output a terminal nothing is drawn; the keyboard still ends it.
    t = Pty([DEMO], closed=(1, 2))
    t.drain(1.0)
    check(SENTENCE not in t.output, "stdout and stderr closed: the sentence was drawn")
    check(t.child.poll() is None, f"stdout and stderr closed: ended early with {t.child.poll()}")
    os.write(t.master, b"x")
    code = t.wait(10)
    check(code == 0, f"stdout and stderr closed: ended with {code}, not 0 after a key")
    t.close()


def test_a_terminal_that_answers_no_queries_costs_no_time():
    t = Pty([DEMO])
    check(t.read_until(SENTENCE, 10), "silent terminal: the sentence never appeared")
    shown = time.monotonic() - t.started
    check(t.read_until(b"\x1b[c", 5), "silent terminal: the stand-in asked the terminal nothing")
    t.drain(0.5)
    os.write(t.master, b"x")
    pressed = time.monotonic()
    code = t.wait(10)
    ended = time.monotonic() - pressed
    check(code == 0, f"silent terminal: ended with {code}")
    check(ended < 2.0, f"silent terminal: {ended:.2f} s from the key to the end")
    print(f"silent terminal: sentence after {shown * 1000:.0f} ms, end {ended * 1000:.0f} ms after the key")
    t.close()


def test_no_controlling_terminal_goes_straight_on():
    # No controlling terminal: no console, as for a Windows process started
    # without one. Nothing is drawn, no key is waited for, and the demo ends
    # with 0 at once; also when its standard streams are on a terminal that
    # is not its controlling terminal (setsid in an interactive shell).
    with tempfile.TemporaryDirectory() as work:
        out_path, err_path = os.path.join(work, "out"), os.path.join(work, "err")
        master, slave = os.openpty()
        before = termios.tcgetattr(slave)
        for name, streams in (("files", None), ("a terminal", slave)):
            with open(out_path, "wb") as out, open(err_path, "wb") as err:
                child = subprocess.Popen([DEMO], stdin=streams if streams else subprocess.DEVNULL,
                                         stdout=streams or out, stderr=streams or err, cwd=OUT,
                                         start_new_session=True)
                try:
                    code = child.wait(10)
                except subprocess.TimeoutExpired:
                    child.kill()
                    code = f"still waiting after 10 s ({child.wait()})"
            check(code == 0, f"no controlling terminal, streams on {name}: ended with {code}, not 0")
            check(os.path.getsize(out_path) == 0 and os.path.getsize(err_path) == 0,
                  f"no controlling terminal, streams on {name}: bytes written to a file")
        os.set_blocking(master, False)
        try:
            drawn = os.read(master, 65536)
        except BlockingIOError:
            drawn = b""
        check(drawn == b"", f"no controlling terminal: drawn on a terminal that is not its own: {drawn[:80]!r}")
        check(termios.tcgetattr(slave) == before, "no controlling terminal: that terminal's settings changed")
        os.close(master)
        os.close(slave)


def test_resized_while_waiting():
    if shutil.which("tmux") is None:
        print("SKIP: no tmux")
        return
    server = f"velmorin-hostile-{os.getpid()}"
    rc = f"/tmp/{server}.rc"

    def tmux(*words):
        return subprocess.run(["tmux", "-L", server, "-f", "/dev/null", *words], check=True,
                              stdout=subprocess.PIPE, text=True).stdout

    def screen():
        return [line.rstrip() for line in tmux("capture-pane", "-p", "-t", "0").split("\n")]

    def wait_for(predicate, seconds):
        end = time.monotonic() + seconds
        while time.monotonic() < end and not predicate():
            time.sleep(0.05)
        return predicate()

    tmux("new-session", "-d", "-x", "80", "-y", "25", f"cd {OUT} && ./demo; echo $? > {rc}; sleep 60")
    tmux("set-option", "-g", "window-size", "manual")
    try:
        check(wait_for(lambda: screen()[0] == SENTENCE.decode(), 10), "resize: the sentence never appeared")
        for columns, rows in ((30, 5), (120, 40), (8, 3), (80, 25)):
            tmux("resize-window", "-t", "0", "-x", str(columns), "-y", str(rows))
            want = SENTENCE.decode()[:columns]
            shown = wait_for(lambda: screen()[0] == want and all(line == "" for line in screen()[1:rows]), 5)
            check(shown, f"resize to {columns}x{rows}: screen is {screen()[:3]}")
        check(not os.path.exists(rc), "resize: the demo ended")
        tmux("send-keys", "-t", "0", "x")
        check(wait_for(lambda: os.path.exists(rc) and open(rc).read().strip() != "", 10), "resize: no end after a key")
        if os.path.exists(rc):
            with open(rc) as f:
                code = f.read().strip()
            check(code == "0", f"resize: exit code {code}")
    finally:
        subprocess.run(["tmux", "-L", server, "kill-server"], stderr=subprocess.DEVNULL)
        if os.path.exists(rc):
            os.remove(rc)


def test_valgrind_finds_no_error_and_no_leak():
    with tempfile.TemporaryDirectory() as work:
        log = os.path.join(work, "valgrind.log")
        t = Pty(["valgrind", "--leak-check=full", "--errors-for-leak-kinds=definite,indirect,possible",
                 "--error-exitcode=99", f"--log-file={log}", DEMO])
        check(t.read_until(SENTENCE, 60), "valgrind: the sentence never appeared")
        os.write(t.master, b"x")
        code = t.wait(60)
        with open(log) as f:
            report = f.read()
        check(code == 0, f"valgrind: exit code {code}")
        check("ERROR SUMMARY: 0 errors" in report, "valgrind: errors reported:\n" + report[-3000:])
        check("definitely lost: 0 bytes" in report or "All heap blocks were freed" in report,
              "valgrind: a leak:\n" + report[-3000:])
        summary = [line.split("==", 2)[-1].strip() for line in report.splitlines()
                   if "in use at exit" in line or "ERROR SUMMARY" in line]
        print("valgrind:", "; ".join(summary))
        t.close()


def main():
    if "--valgrind" in sys.argv[2:]:
        tests = [test_valgrind_finds_no_error_and_no_leak]
    else:
        tests = [test_signals_while_waiting_give_the_terminal_back, test_a_hang_up_ends_the_wait,
                 test_a_vanished_terminal_ends_the_wait_when_hang_up_is_ignored,
                 test_text_typed_ahead_goes_back_whole_and_as_much_as_fits,
                 test_an_ending_signal_waits_briefly_for_an_owed_answer,
                 test_closed_standard_output_draws_through_standard_error,
                 test_a_terminal_that_answers_no_queries_costs_no_time, test_no_controlling_terminal_goes_straight_on,
                 test_resized_while_waiting]
    return run_tests(tests)


if __name__ == "__main__":
    sys.exit(main())
