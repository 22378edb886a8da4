#!/usr/bin/env python3
"""The stand-in's console in real terminals, driven through console_probe:
what the mirror writes for the program's screen steps on an 80x25 terminal,
what a terminal emulator (tmux) then shows, and that the user's terminal
settings come back however the process ends.

usage: terminal_test.py console_probe [--no-signal-endings]
--no-signal-endings leaves out the checks that the probe ends by a signal,
for builds whose run-time delivers signals its own way (ThreadSanitizer holds
a signal back until the thread next calls a function it wraps, so a process
waiting in one it does not wrap may never see it).
"""
import fcntl
import os
import select
import shutil
import signal
import struct
import subprocess
import sys
import termios
import time

PROBE = os.path.abspath(sys.argv[1])
SIGNAL_ENDINGS = "--no-signal-endings" not in sys.argv[2:]
HAND_BACK = b"\x1b[0m\x1b[?7h\x1b[?25h"
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL:", message)


class Pty:
    """A probe on a fresh pseudo-terminal of its own, as its controlling terminal."""

    def __init__(self, args, columns=80, rows=25):
        self.master, self.slave = os.openpty()
        fcntl.ioctl(self.slave, termios.TIOCSWINSZ, struct.pack("HHHH", rows, columns, 0, 0))
        self.original = termios.tcgetattr(self.slave)
        self.output = b""

        def own_terminal():
            os.setsid()
            fcntl.ioctl(0, termios.TIOCSCTTY, 0)

        self.child = subprocess.Popen([PROBE] + args, stdin=self.slave, stdout=self.slave, stderr=self.slave,
                                      preexec_fn=own_terminal)

    def read_until(self, marker, timeout=10.0):
        deadline = time.monotonic() + timeout
        while marker not in self.output and time.monotonic() < deadline:
            self.drain(0.05)
        return marker in self.output

    def drain(self, wait):
        ready, _, _ = select.select([self.master], [], [], wait)
        if ready:
            try:
                self.output += os.read(self.master, 65536)
            except OSError:
                pass

    def wait(self, timeout=10.0):
        try:
            code = self.child.wait(timeout)
        except subprocess.TimeoutExpired:
            self.child.kill()
            code = self.child.wait()
            failures.append(f"probe {self.child.args[1:]} did not end")
        self.drain(0.1)
        return code

    def settings(self):
        return termios.tcgetattr(self.slave)

    def close(self):
        os.close(self.master)
        os.close(self.slave)


def raw(settings):
    lflag = settings[3]
    return not (lflag & termios.ECHO) and not (lflag & termios.ICANON)


def test_bytes_of_the_screen_steps():
    sizes = {}
    for step in ("clear", "sentence", "line-end"):
        t = Pty([step])
        code = t.wait()
        check(code == 0, f"{step}: exit code {code}")
        check(t.settings() == t.original, f"{step}: terminal settings not given back")
        check(t.output.endswith(HAND_BACK), f"{step}: output does not end with the hand-back")
        sizes[step] = len(t.output) - len(HAND_BACK)
        if step == "line-end":
            check(b"Dit Is Een Zin." in t.output, "the sentence never reached the terminal")
            print("line-end output tail:", repr(t.output[-90:]))
        t.close()
    print(f"bytes written on 80x25: ClearScreen {sizes['clear']}, "
          f"WriteText of the sentence {sizes['sentence'] - sizes['clear']}, "
          f"WriteLineEnd {sizes['line-end'] - sizes['sentence']}, hand-back at exit {len(HAND_BACK)}; "
          f"total {sizes['line-end'] + len(HAND_BACK)}")


def test_settings_come_back_on_each_ending_signal():
    if not SIGNAL_ENDINGS:
        print("SKIP: endings by signal")
        return
    for number in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP, signal.SIGQUIT):
        t = Pty(["hold"])
        check(t.read_until(b"held"), f"{number.name}: the probe never drew")
        check(raw(t.settings()), f"{number.name}: the terminal is not raw while the console is in use")
        t.child.send_signal(number)
        code = t.wait()
        check(code == -number, f"{number.name}: ended with {code}, not by the signal")
        check(t.settings() == t.original, f"{number.name}: terminal settings not given back")
        check(t.output.endswith(HAND_BACK), f"{number.name}: no hand-back bytes at the end")
        t.close()


def test_ctrl_c_is_a_key_unless_processed_input_is_on():
    t = Pty(["hold"])
    t.read_until(b"held")
    os.write(t.master, b"\x03")
    time.sleep(0.3)
    check(t.child.poll() is None, "Ctrl+C ended the probe although processed input is off")
    t.child.terminate()
    t.wait()
    t.close()
    if not SIGNAL_ENDINGS:
        print("SKIP: Ctrl+C ending the probe")
        return

    t = Pty(["hold", "processed"])
    t.read_until(b"held")
    os.write(t.master, b"\x03")
    code = t.wait()
    check(code == -signal.SIGINT, f"Ctrl+C with processed input on: ended with {code}")
    check(t.settings() == t.original, "Ctrl+C: terminal settings not given back")
    t.close()


def test_raw_mode_comes_back_after_a_suspend():
    t = Pty(["hold", "processed"])
    t.read_until(b"held")
    os.write(t.master, b"\x1a")
    # A process group that no shell controls is not stopped, so the probe
    # carries on at once, and must have the console's settings again.
    time.sleep(0.3)
    check(t.child.poll() is None, "Ctrl+Z ended the probe")
    check(raw(t.settings()), "after Ctrl+Z the terminal is not raw again")
    t.child.terminate()
    t.wait()
    check(t.settings() == t.original, "after Ctrl+Z and SIGTERM: settings not given back")
    t.close()


def test_tmux_shows_the_sentence_and_the_cursor_below_it():
    if shutil.which("tmux") is None:
        print("SKIP: no tmux")
        return
    socket = f"velmorin-terminal-{os.getpid()}"
    done = f"/tmp/{socket}.done"
    script = (f"stty -g > {done}.before; echo an old line; {PROBE} line-end; "
              f"stty -g > {done}.after; touch {done}; sleep 30")
    subprocess.run(["tmux", "-L", socket, "new-session", "-d", "-x", "80", "-y", "25", script], check=True)
    try:
        deadline = time.monotonic() + 20
        while not os.path.exists(done) and time.monotonic() < deadline:
            time.sleep(0.1)
        check(os.path.exists(done), "tmux: the probe did not finish")
        screen = subprocess.run(["tmux", "-L", socket, "capture-pane", "-p"], stdout=subprocess.PIPE,
                                text=True).stdout.split("\n")
        cursor = subprocess.run(["tmux", "-L", socket, "display", "-p", "#{cursor_x},#{cursor_y}"],
                                stdout=subprocess.PIPE, text=True).stdout.strip()
        check(screen[0] == "Dit Is Een Zin.", f"tmux row 1 is {screen[0]!r}")
        check(all(line.strip() == "" for line in screen[1:]), "tmux: something besides the sentence is shown")
        check(cursor == "0,1", f"tmux cursor at {cursor}, not column 1 of row 2")
        with open(done + ".before") as before, open(done + ".after") as after:
            check(before.read() == after.read(), "tmux: stty settings differ after the probe")
    finally:
        subprocess.run(["tmux", "-L", socket, "kill-server"], stderr=subprocess.DEVNULL)
        for suffix in ("", ".before", ".after"):
            if os.path.exists(done + suffix):
                os.remove(done + suffix)


def main():
    for test in (test_bytes_of_the_screen_steps, test_settings_come_back_on_each_ending_signal,
                 test_ctrl_c_is_a_key_unless_processed_input_is_on, test_raw_mode_comes_back_after_a_suspend,
                 test_tmux_shows_the_sentence_and_the_cursor_below_it):
        print("---", test.__name__)
        test()
    if failures:
        print(f"{len(failures)} failed")
        return 1
    print("all passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
