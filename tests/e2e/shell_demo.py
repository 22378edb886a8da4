#!/usr/bin/env python3
"""The native demo started from a real interactive bash in a tmux pane, as a
user starts it: what the shell finds afterwards. Text typed ahead comes back
byte for byte; the key that ended the wait never ends, edits or recalls the
shell's line; late answers of a slow terminal never reach it; the terminal is
the console whatever standard streams are redirected or closed; standard
output redirected to a file still shows the screen.

usage: shell_demo.py BUILD/out
Skipped (77) when tmux or bash is missing.
"""
import os
import shlex
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from script_checks import check, run_tests  # noqa: E402

OUT = os.path.abspath(sys.argv[1])
DEMO = os.path.join(OUT, "demo")
SENTENCE = "Dit Is Een Zin."
SERVER = f"velmorin-shell-{os.getpid()}"
servers = iter(range(1000))

# Plays a terminal over a link that takes SLOW seconds to bring the
# terminal's answers back: the questions the program sends never reach tmux,
# and their answers come from here that much later.
SLOW_TERMINAL = r"""
import fcntl, os, pty, select, sys, termios, time, tty
SLOW = 1.0
QUESTIONS = {b"\x1b[?u": b"\x1b[?0u", b"\x1b[c": b"\x1b[?62;c"}
pid, fd = pty.fork()
if pid == 0:
    os.execvp(sys.argv[1], sys.argv[1:])
fcntl.ioctl(fd, termios.TIOCSWINSZ, fcntl.ioctl(0, termios.TIOCGWINSZ, b"\0" * 8))
tty.setraw(0)
owed = []
while True:
    wait = min([t for t, _ in owed], default=time.monotonic() + 1) - time.monotonic()
    ready, _, _ = select.select([0, fd], [], [], max(wait, 0))
    for due, answer in [o for o in owed if o[0] <= time.monotonic()]:
        os.write(fd, answer)
        owed.remove((due, answer))
    if 0 in ready:
        os.write(fd, os.read(0, 4096))
    if fd in ready:
        try:
            data = os.read(fd, 4096)
        except OSError:
            break
        for question, answer in QUESTIONS.items():
            while question in data:
                data = data.replace(question, b"", 1)
                owed.append((time.monotonic() + SLOW, answer))
        os.write(1, data)
"""


server = SERVER


def tmux(*words):
    return subprocess.run(["tmux", "-L", server, "-f", "/dev/null", *words], check=True,
                          stdout=subprocess.PIPE, text=True).stdout


def screen():
    return [line.rstrip() for line in tmux("capture-pane", "-p", "-t", "0").split("\n")]


def wait_for(predicate, seconds=10):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if predicate():
            return True
        time.sleep(0.05)
    return predicate()


def read(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return None


class Shell:
    """An interactive shell (bash unless told) in a fresh tmux pane, in a work
    folder of its own."""

    def __init__(self, work, slow_terminal=False, program=("bash", "--norc", "--noprofile", "-i")):
        global server
        server = f"{SERVER}-{next(servers)}"  # a server of its own: the last one may still be going away
        self.work = work
        command = ["env", "-i", f"HOME={work}", "TERM=xterm", "PS1=$ ", "LANG=C.UTF-8", "LC_ALL=C.UTF-8",
                   f"PATH={os.environ.get('PATH', '/usr/bin:/bin')}", *program]
        if slow_terminal:
            command = [sys.executable, "-c", SLOW_TERMINAL] + command
        tmux("new-session", "-d", "-x", "80", "-y", "25", "-c", work, " ".join(shlex.quote(w) for w in command))
        tmux("set-option", "-t", "0", "remain-on-exit", "on")  # a shell that ended can still be asked about
        check(wait_for(lambda: any(line.startswith("$") for line in screen())), "bash showed no prompt")

    def type(self, *keys):
        tmux("send-keys", "-t", "0", *keys)

    def line(self, text):
        tmux("send-keys", "-t", "0", "-l", text)
        tmux("send-keys", "-t", "0", "Enter")

    def alive(self):
        return tmux("display-message", "-p", "-t", "0", "#{pane_dead}").strip() != "1"

    def running(self):
        """True while the demo is the pane's foreground program."""
        return tmux("display-message", "-p", "-t", "0", "#{pane_current_command}").strip() == "demo"

    def result(self, name, seconds=10):
        path = os.path.join(self.work, name)
        wait_for(lambda: read(path) not in (None, b""), seconds)
        return read(path)

    def close(self):
        """Ends the pane and waits for all that ran in it to be gone: bash
        writes its history into the work folder when the server hangs up on
        it, and the folder is removed next."""
        try:
            pids = descendants(int(tmux("display-message", "-p", "-t", "0", "#{pane_pid}").strip()))
        except (subprocess.CalledProcessError, ValueError):
            pids = []
        subprocess.run(["tmux", "-L", server, "kill-server"], stderr=subprocess.DEVNULL)
        wait_for(lambda: not any(os.path.exists(f"/proc/{pid}") for pid in pids), 10)


def descendants(pid):
    """The process and all its descendants, as /proc has them now."""
    children = {}
    for entry in os.listdir("/proc"):
        try:
            with open(f"/proc/{entry}/stat") as f:
                # The parent is the second field after the name in parentheses.
                parent = int(f.read().rsplit(")", 1)[1].split()[1])
        except (OSError, ValueError, IndexError):
            continue
        children.setdefault(parent, []).append(int(entry))
    found, todo = [], [pid]
    while todo:
        p = todo.pop()
        found.append(p)
        todo.extend(children.get(p, []))
    return found


def scenario(function):
    def run():
        with tempfile.TemporaryDirectory() as work:
            shell = Shell(work, slow_terminal=getattr(function, "slow", False),
                          program=getattr(function, "program", ("bash", "--norc", "--noprofile", "-i")))
            try:
                function(shell)
            finally:
                shell.close()
    run.__name__ = function.__name__
    return run


@scenario
def test_text_typed_ahead_reaches_the_shell_byte_for_byte(shell):
    for name in ("日本1.txt", "ab.txt", "xy.txt"):
        open(os.path.join(shell.work, name), "w").close()
    shell.line(f"sleep 1; {DEMO}")
    # Typed while the demo starts: it reads it all, and the first key ends its wait.
    shell.type("-l", "echo 日本*.txt > typed")
    shell.type("Enter")
    check(shell.result("typed") == "日本1.txt\n".encode(), f"the shell ran something else: {shell.result('typed')!r}")


@scenario
def test_a_scripts_read_after_the_demo_gets_the_line_typed_during_the_wait(shell):
    # Given back after the terminal's own settings: read takes it as a line,
    # Enter included, at once.
    shell.line(f"{DEMO}; read -r name; printf '[%s]' \"$name\" > typed")
    check(wait_for(lambda: screen()[0] == SENTENCE), "read: the sentence never appeared")
    shell.type("-l", "bob\r")  # in one go: all of it typed while the demo waits
    check(shell.result("typed", 5) == b"[bob]", f"read got {shell.result('typed')!r}, not the line typed")


def test_dash_edits_the_text_typed_during_the_wait(shell):
    # dash reads its line through the terminal's own line editing: the text
    # given back is echoed and its erase key reaches it.
    shell.line(DEMO)
    check(wait_for(lambda: screen()[0] == SENTENCE), "dash: the sentence never appeared")
    shell.type("-l", "echo hellx")
    check(wait_for(lambda: not shell.running(), 5), "dash: the demo did not end")
    time.sleep(0.3)
    shell.type("BSpace")
    shell.line("o > typed")
    check(shell.result("typed", 5) == b"hello\n", f"dash ran something else: {shell.result('typed')!r}")


test_dash_edits_the_text_typed_during_the_wait.program = ("dash", "-i")
test_dash_edits_the_text_typed_during_the_wait = scenario(test_dash_edits_the_text_typed_during_the_wait)


@scenario
def test_two_demos_on_one_terminal_leave_the_users_settings(shell):
    # Whichever of the two ends last, and whatever each found at its start,
    # the terminal has the settings from before the first one started.
    shell.line("stty -g > before")
    before = shell.result("before")
    for run in range(10):
        # The screen cleared first, so that the sentence seen is this run's.
        shell.line(f"printf '\\033[2J'; {DEMO} | {DEMO}; stty -g > after{run}")
        # Two programs start at once: under a sanitizer on a loaded machine
        # that takes well over the usual wait. They share one cursor, so one
        # may clear or write while the other writes: the sentence may come
        # twice on one row, or on the second row, as on a Windows console.
        check(wait_for(lambda: any(SENTENCE in line for line in screen()), 30),
              f"run {run}: the sentence never appeared: {screen()[:3]}")
        time.sleep(0.5)
        shell.type("a")
        time.sleep(0.1)
        shell.type("b")
        after = shell.result(f"after{run}", 10)
        check(after == before, f"run {run}: the settings after are {after!r}, not {before!r}")
        shell.type("C-u")  # the text given back, off the shell's line
        if after != before:
            return


def test_the_key_ending_the_wait_never_acts_on_the_shell():
    # Ctrl+D would end the shell, Esc eat the next command's first letter,
    # Up bring back the last command line; Ctrl+Z is a key, not a suspension.
    for name, key in (("ctrl-d", "C-d"), ("esc", "Escape"), ("up", "Up"), ("ctrl-z", "C-z")):
        with tempfile.TemporaryDirectory() as work:
            shell = Shell(work)
            try:
                shell.line(DEMO)
                check(wait_for(lambda: screen()[0] == SENTENCE), f"{name}: the sentence never appeared")
                shell.type(key)
                wait_for(lambda: not shell.running())
                time.sleep(0.3)
                check(shell.alive(), f"{name}: the shell ended")
                shell.line(f"echo {name} $(jobs | wc -l) > {name}")
                check(shell.result(name, 5) == f"{name} 0\n".encode(),
                      f"{name}: the next command was changed, or a job was left: {shell.result(name)!r}")
            finally:
                shell.close()


def test_late_answers_of_a_slow_terminal_never_reach_the_shell(shell):
    shell.line(DEMO)
    check(wait_for(lambda: screen()[0] == SENTENCE), "slow terminal: the sentence never appeared")
    shell.type("F5")  # at once: the answers are still on their way
    check(wait_for(lambda: not shell.running(), 5), "slow terminal: the demo did not end")
    time.sleep(1.5)  # for answers left behind to reach the shell's line
    shell.line("echo ok > after")
    check(shell.result("after", 5) == b"ok\n", f"slow terminal: the command line was changed: {screen()[:3]}")


test_late_answers_of_a_slow_terminal_never_reach_the_shell.slow = True
test_late_answers_of_a_slow_terminal_never_reach_the_shell = scenario(
    test_late_answers_of_a_slow_terminal_never_reach_the_shell)


def test_the_terminal_is_the_console_whatever_is_redirected():
    for name, command, key, want in (
            ("all redirected", f"{DEMO} </dev/null >/dev/null 2>&1", "F5", b"0\n"),
            ("nohup", f"nohup {DEMO}", "F5", b"0\n"),
            ("input closed", f"{DEMO} <&-", "C-c", b"130\n")):
        with tempfile.TemporaryDirectory() as work:
            shell = Shell(work)
            try:
                shell.line(command)
                check(wait_for(shell.running, 10), f"{name}: the demo never started")
                time.sleep(0.5)
                shell.type(key)
                check(wait_for(lambda: not shell.running(), 5), f"{name}: the demo did not end")
                # The status as the next command line sees it (an interrupt would end a list).
                shell.line(f"echo $? > '{name}'")
                check(shell.result(name, 5) == want, f"{name}: ended with {shell.result(name)!r}, not {want!r}")
            finally:
                shell.close()


@scenario
def test_the_screen_and_ctrl_c_with_standard_output_in_a_file(shell):
    # Standard output a file: the screen goes through standard error, and
    # standard input on the terminal makes Ctrl+C a key, not an interrupt.
    shell.line(f"{DEMO} > screen; echo $? > status")
    check(wait_for(lambda: screen()[0] == SENTENCE), f"the sentence is not on the terminal: {screen()[:2]}")
    check(read(os.path.join(shell.work, "screen")) == b"", "bytes went to the file")
    shell.type("C-c")
    check(shell.result("status") == b"0\n", f"Ctrl+C ended the demo: status {shell.result('status')!r}")


def main():
    if shutil.which("tmux") is None or shutil.which("bash") is None:
        print("SKIP: no tmux or no bash")
        return 77
    with open("/proc/sys/dev/tty/legacy_tiocsti") as f:
        pushing_allowed = f.read().strip() != "0"
    tests = [test_two_demos_on_one_terminal_leave_the_users_settings,
             test_the_key_ending_the_wait_never_acts_on_the_shell,
             test_late_answers_of_a_slow_terminal_never_reach_the_shell,
             test_the_terminal_is_the_console_whatever_is_redirected,
             test_the_screen_and_ctrl_c_with_standard_output_in_a_file]
    if pushing_allowed:
        tests[:0] = [test_text_typed_ahead_reaches_the_shell_byte_for_byte,
                     test_a_scripts_read_after_the_demo_gets_the_line_typed_during_the_wait]
        if shutil.which("dash"):
            tests.insert(2, test_dash_edits_the_text_typed_during_the_wait)
    else:
        print("note: the kernel refuses TIOCSTI, so text typed ahead cannot go back", file=sys.stderr)
    return run_tests(tests)


if __name__ == "__main__":
    sys.exit(main())
