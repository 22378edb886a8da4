#!/usr/bin/env python3
"""Keys typed at a real terminal (a tmux pane) reach a program on the stand-in
as the console's key records; Ctrl+C follows the console input mode; and the
text a program leaves unread goes back to the terminal when it ends.
Then the same program under a terminal that has the keyboard protocol,
played by this script over a pseudo-terminal.

usage: terminal_keys_test.py path/to/key_probe
The tmux tests are skipped when tmux is not installed.
"""
import os
import pty
import select
import shlex
import shutil
import signal
import subprocess
import sys
import tempfile
import time

PROBE = os.path.abspath(sys.argv[1])
SERVER = "velmorin-keys-%d" % os.getpid()
failures = []

# Runs argv[2:] and writes how it ended to argv[1]: its exit status, or minus
# the signal that ended it.
RECORD_ENDING = ("import signal, subprocess, sys; signal.signal(signal.SIGINT, signal.SIG_IGN); "
                 "code = subprocess.call(sys.argv[2:], preexec_fn=lambda: signal.signal(signal.SIGINT, signal.SIG_DFL)); "
                 "open(sys.argv[1], 'w').write(str(code))")

# The press records each key gives, as the probe logs them: an implied
# modifier's press comes first.
SHIFT = "down vk=10 sc=2A ch=00 st=0010"
CTRL = "down vk=11 sc=1D ch=00 st=0008"
ALT = "down vk=12 sc=38 ch=00 st=0002"
TYPED = [
    ("a", ["down vk=41 sc=1E ch=61 st=0000"]),
    ("A", [SHIFT, "down vk=41 sc=1E ch=41 st=0010"]),
    ("7", ["down vk=37 sc=08 ch=37 st=0000"]),
    ("!", [SHIFT, "down vk=31 sc=02 ch=21 st=0010"]),
    (",", ["down vk=BC sc=33 ch=2C st=0000"]),
    ("Enter", ["down vk=0D sc=1C ch=0D st=0000"]),
    ("BSpace", ["down vk=08 sc=0E ch=08 st=0000"]),
    ("Tab", ["down vk=09 sc=0F ch=09 st=0000"]),
    ("Space", ["down vk=20 sc=39 ch=20 st=0000"]),
    ("Escape", ["down vk=1B sc=01 ch=1B st=0000"]),
    ("Up", ["down vk=26 sc=48 ch=00 st=0100"]),
    ("Down", ["down vk=28 sc=50 ch=00 st=0100"]),
    ("Left", ["down vk=25 sc=4B ch=00 st=0100"]),
    ("Right", ["down vk=27 sc=4D ch=00 st=0100"]),
    ("C-Up", [CTRL, "down vk=26 sc=48 ch=00 st=0108"]),
    ("S-Right", [SHIFT, "down vk=27 sc=4D ch=00 st=0110"]),
    ("IC", ["down vk=2D sc=52 ch=00 st=0100"]),
    ("DC", ["down vk=2E sc=53 ch=00 st=0100"]),
    ("Home", ["down vk=24 sc=47 ch=00 st=0100"]),
    ("End", ["down vk=23 sc=4F ch=00 st=0100"]),
    ("PPage", ["down vk=21 sc=49 ch=00 st=0100"]),
    ("NPage", ["down vk=22 sc=51 ch=00 st=0100"]),
    ("F1", ["down vk=70 sc=3B ch=00 st=0000"]),
    ("F4", ["down vk=73 sc=3E ch=00 st=0000"]),
    ("F5", ["down vk=74 sc=3F ch=00 st=0000"]),
    ("F10", ["down vk=79 sc=44 ch=00 st=0000"]),
    ("F12", ["down vk=7B sc=58 ch=00 st=0000"]),
    ("C-F5", [CTRL, "down vk=74 sc=3F ch=00 st=0008"]),
    ("C-a", [CTRL, "down vk=41 sc=1E ch=01 st=0008"]),
    ("C-z", [CTRL, "down vk=5A sc=2C ch=1A st=0008"]),
    ("M-x", [ALT, "down vk=58 sc=2D ch=78 st=0002"]),
    ("\u00e9", ["down vk=00 sc=00 ch=82 st=0000"]),
]


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL: " + what, file=sys.stderr)


def tmux(*args):
    return subprocess.run(["tmux", "-L", SERVER] + list(args), check=True, stdout=subprocess.PIPE,
                          text=True).stdout


def start(command):
    tmux("new-session", "-d", "-x", "80", "-y", "25", command)
    tmux("set-option", "-t", "0", "remain-on-exit", "on")


def stop():
    subprocess.run(["tmux", "-L", SERVER, "kill-server"], stderr=subprocess.DEVNULL)
    time.sleep(0.2)


def wait_for(predicate, seconds=5.0):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if predicate():
            return True
        time.sleep(0.05)
    return False


def read(path):
    try:
        with open(path) as f:
            return f.read()
    except FileNotFoundError:
        return ""


def pane_ended():
    return tmux("display-message", "-p", "-t", "0", "#{pane_dead}").strip() == "1"


def test_typed_keys(work):
    log = os.path.join(work, "typed.log")
    start("exec %s read %s" % (PROBE, log))
    check(wait_for(lambda: "ready" in read(log)), "the probe got ready")
    for key, _ in TYPED:
        tmux("send-keys", "-t", "0", key)
        # Esc alone is told apart by its pause; the other keys need none.
        time.sleep(0.2 if key == "Escape" else 0.03)
    tmux("send-keys", "-t", "0", "q")
    check(wait_for(pane_ended), "the probe ended at q")
    lines = read(log).splitlines()[1:]
    presses = [line for line in lines if line.startswith("down")]
    expected = [record for _, records in TYPED for record in records] + ["down vk=51 sc=10 ch=71 st=0000"]
    check(presses == expected, "typed keys: got\n  %s\nwanted\n  %s" % ("\n  ".join(presses),
                                                                          "\n  ".join(expected)))
    check(len(lines) == 2 * len(presses) - 1, "every press but the last q's has its release")
    stop()


def test_ctrl_c_is_a_key_with_processed_input_off(work):
    log = os.path.join(work, "raw.log")
    start("exec %s read %s" % (PROBE, log))
    check(wait_for(lambda: "ready" in read(log)), "the probe got ready")
    tmux("send-keys", "-t", "0", "C-c")
    tmux("send-keys", "-t", "0", "q")
    check(wait_for(pane_ended), "the probe ended at q, not at Ctrl+C")
    lines = read(log).splitlines()[1:]
    check(lines[:4] == [CTRL, "down vk=43 sc=2E ch=03 st=0008", "up vk=43 sc=2E ch=03 st=0008",
                        "up vk=11 sc=1D ch=00 st=0000"], "Ctrl+C as key records: %s" % lines[:4])
    stop()


def test_ctrl_c_interrupts_with_processed_input_on(work):
    log = os.path.join(work, "processed.log")
    ending = os.path.join(work, "processed.ending")
    # tmux does not always learn how a pane's program ended, so a wrapper
    # that ignores the interrupt itself records it.
    start(" ".join(shlex.quote(word) for word in
                   [sys.executable, "-c", RECORD_ENDING, ending, PROBE, "read", log, "processed"]))
    check(wait_for(lambda: "ready" in read(log)), "the probe got ready")
    tmux("send-keys", "-t", "0", "a")
    check(wait_for(lambda: "down vk=41" in read(log)), "a key before Ctrl+C is read")
    tmux("send-keys", "-t", "0", "C-c")
    check(wait_for(pane_ended), "Ctrl+C ended the probe")
    check(wait_for(lambda: read(ending) != ""), "the probe's ending was recorded")
    check(read(ending) == "-2", "ended by SIGINT, not %r" % read(ending))
    check("ch=03" not in read(log), "no Ctrl+C record was read")
    stop()


def test_only_the_text_left_unread_goes_back_to_the_terminal(work):
    log = os.path.join(work, "wait.log")
    after = os.path.join(work, "after")
    # Whatever reads the terminal after the probe gets the text typed ahead,
    # as typed, and not the key that would edit its line.
    start("%s wait %s; stty raw -echo; timeout --foreground 3 dd bs=1 count=6 2>/dev/null > %s"
          % (PROBE, log, after))
    check(wait_for(lambda: "ready" in read(log)), "the probe got ready")
    tmux("send-keys", "-t", "0", "C-Left", "\u00e9x")
    check(wait_for(pane_ended), "the probe and the reader after it ended")
    check(read(log).splitlines()[1:] == ["down vk=25 sc=4B ch=00 st=0108"],
          "KeyWaiting left Ctrl+Left at the head: %s" % read(log))
    with open("/proc/sys/dev/tty/legacy_tiocsti") as f:
        pushing_allowed = f.read().strip() != "0"
    if pushing_allowed:
        with open(after, "rb") as f:
            given_back = f.read()
        check(given_back == "\u00e9x".encode(), "the text came back as typed, alone: %r" % given_back)
    else:
        print("note: the kernel refuses TIOCSTI, so unread keys cannot go back", file=sys.stderr)
    stop()
    if not pushing_allowed:
        return
    # Keys the program read are its own: only those behind them go back.
    log = os.path.join(work, "read.log")
    start("%s read %s; stty raw -echo; timeout --foreground 3 dd bs=1 count=2 2>/dev/null > %s"
          % (PROBE, log, after))
    check(wait_for(lambda: "ready" in read(log)), "the reading probe got ready")
    tmux("send-keys", "-t", "0", "abqzz")
    check(wait_for(pane_ended), "the reading probe and the reader after it ended")
    with open(after, "rb") as f:
        given_back = f.read()
    check(given_back == b"zz", "only the keys left unread came back: %r" % given_back)
    stop()


class ProtocolTerminal:
    """A terminal with the keyboard protocol, played over a pseudo-terminal:
    it answers the questions about the protocol as such a terminal does."""

    def __init__(self, args):
        self.pid, self.fd = pty.fork()
        if self.pid == 0:
            os.execv(PROBE, [PROBE] + args)
        self.received = b""
        self.status = None

    def pump(self, seconds):
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            ready, _, _ = select.select([self.fd], [], [], 0.02)
            if ready:
                try:
                    chunk = os.read(self.fd, 4096)
                except OSError:
                    chunk = b""
                if not chunk:
                    return
                self.received += chunk
                self.answer()

    def answer(self):
        if self.received.count(b"\x1b[?u") > self.answered:
            # The first question gets the flags in force; the one after the
            # push gets the flags pushed.
            flags = b"0" if self.answered == 0 else b"31"
            self.answered += 1
            os.write(self.fd, b"\x1b[?" + flags + b"u\x1b[?62;22c")

    answered = 0

    def type(self, data):
        os.write(self.fd, data)
        self.pump(0.3)

    def ended(self, seconds=3.0):
        end = time.monotonic() + seconds
        while time.monotonic() < end and self.status is None:
            self.pump(0.05)
            pid, status = os.waitpid(self.pid, os.WNOHANG)
            if pid:
                self.status = status
        return self.status is not None

    def kill(self):
        if self.status is None:
            os.kill(self.pid, signal.SIGKILL)
            os.waitpid(self.pid, 0)
        os.close(self.fd)


def test_modifiers_alone_are_discarded_under_the_protocol(work):
    log = os.path.join(work, "protocol.log")
    term = ProtocolTerminal(["wait", log])
    try:
        term.pump(1.0)
        check(b"\x1b[>31u" in term.received, "the protocol was switched on: %r" % term.received[-60:])
        check("ready" in read(log), "the probe got ready")
        term.type(b"\x1b[57441;2u\x1b[57441;1:3u\x1b[57442;5u\x1b[57442;1:3u\x1b[57358;65u\x1b[57358;65:3u")
        check(not term.ended(0.3), "Shift, Ctrl and Caps Lock pressed alone end no wait")
        term.type(b"\x1b[97u")
        check(term.ended(), "a letter ends the wait")
        check(read(log).splitlines()[1:] == ["down vk=41 sc=1E ch=61 st=0000"], "the letter: %s" % read(log))
        check(term.received.endswith(b"\x1b[<u") or b"\x1b[<u" in term.received[-200:],
              "the protocol was switched off at exit")
    finally:
        term.kill()


def test_ctrl_c_under_the_protocol_interrupts_with_processed_input_on(work):
    log = os.path.join(work, "protocol-processed.log")
    term = ProtocolTerminal(["read", log, "processed"])
    try:
        term.pump(1.0)
        check("ready" in read(log), "the probe got ready")
        term.type(b"\x1b[99;5u")  # Ctrl+C as the protocol reports it: no byte 3 for the line discipline
        check(term.ended(), "Ctrl+C ended the probe")
        check(term.status is not None and os.WIFSIGNALED(term.status) and os.WTERMSIG(term.status) == signal.SIGINT,
              "ended by SIGINT: %r" % term.status)
        check(b"\x1b[<u" in term.received, "the protocol was switched off on the way out")
    finally:
        term.kill()


def test_quit_and_suspend_under_the_protocol_act_with_processed_input_on(work):
    # As on a plain terminal, whose line discipline turns them into signals.
    log = os.path.join(work, "protocol-quit.log")
    term = ProtocolTerminal(["read", log, "processed"])
    try:
        term.pump(1.0)
        check("ready" in read(log), "the probe got ready")
        before = len(term.received)
        term.type(b"\x1b[122;5u")  # Ctrl+Z: a stop that nobody controls is dropped, the keyboard taken back
        after = term.received[before:]
        check(not term.ended(0.3), "Ctrl+Z under the protocol ended the probe")
        check(b"\x1b[<u" in after and b"\x1b[>31u" in after[after.find(b"\x1b[<u"):],
              "Ctrl+Z under the protocol handed the keyboard back for a stop: %r" % after)
        term.type(b"\x1b[92;5u")  # Ctrl+backslash
        check(term.ended(), "Ctrl+\\ under the protocol ended the probe")
        check(term.status is not None and os.WIFSIGNALED(term.status) and os.WTERMSIG(term.status) == signal.SIGQUIT,
              "ended by SIGQUIT: %r" % term.status)
        check("ch=1A" not in read(log) and "ch=1C" not in read(log), "no record of either key: %s" % read(log))
    finally:
        term.kill()


def test_a_stop_hands_the_keyboard_back_until_continued(work):
    log = os.path.join(work, "protocol-stop.log")
    term = ProtocolTerminal(["read", log])
    try:
        term.pump(1.0)
        check("ready" in read(log), "the probe got ready")
        before = len(term.received)
        # Nobody controls the probe's process group, so the stop itself is
        # dropped: the keyboard is handed back and taken again at once.
        os.kill(term.pid, signal.SIGTSTP)
        term.pump(0.5)
        after = term.received[before:]
        check(b"\x1b[<u" in after and b"\x1b[>31u" in after[after.find(b"\x1b[<u"):],
              "switched off for the stop, on again after it: %r" % after)
        term.type(b"\x1b[57441;2uq")
        check(term.ended(), "keys still arrive after the stop")
        check(read(log).splitlines()[1:2] == ["down vk=10 sc=2A ch=00 st=0010"], "Shift alone: %s" % read(log))
    finally:
        term.kill()


def main():
    have_tmux = shutil.which("tmux") is not None
    if not have_tmux:
        print("note: tmux is not installed; the tests typing through it are skipped")
    with tempfile.TemporaryDirectory() as work:
        tests = [test_modifiers_alone_are_discarded_under_the_protocol,
                 test_ctrl_c_under_the_protocol_interrupts_with_processed_input_on,
                 test_quit_and_suspend_under_the_protocol_act_with_processed_input_on,
                 test_a_stop_hands_the_keyboard_back_until_continued]
        if have_tmux:
            tests += [test_typed_keys, test_ctrl_c_is_a_key_with_processed_input_off,
                      test_ctrl_c_interrupts_with_processed_input_on, test_only_the_text_left_unread_goes_back_to_the_terminal]
        for test in tests:
            print("--", test.__name__)
            try:
                test(work)
            except Exception as e:  # a broken test must not leave its tmux behind
                check(False, "%s raised %r" % (test.__name__, e))
                if have_tmux:
                    stop()
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
