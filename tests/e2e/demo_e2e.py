#!/usr/bin/env python3
"""End-to-end runs of the real demo program in a real terminal (tmux), checked
as a person would see them: the screen, the cursor, the bells, the exit code.

usage: demo_e2e.py --target linux|win64|win32 --out BUILD/out --tests BUILD/tests [--only NAME] [--jobs N]
"""
import argparse
import concurrent.futures
import os
import shutil
import subprocess
import sys
import tempfile
import time

SENTENCE = "Dit Is Een Zin."
HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))


class Run:
    """One start of the program inside its own tmux server and session."""

    def __init__(self, args, name, cols, rows):
        self.args, self.name, self.cols, self.rows = args, name, cols, rows
        self.dir = tempfile.mkdtemp(prefix=f"e2e-{name}-")
        self.socket = f"velmorin-e2e-{os.getpid()}-{name}"
        self.started = None

    def tmux(self, *words, check=True):
        return subprocess.run(["tmux", "-L", self.socket, "-f", "/dev/null", *words], check=check,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True).stdout

    def path(self, name):
        return os.path.join(self.dir, name)

    def start(self, command, keys_first=None):
        """Starts the command once the terminal is recorded; keys_first are
        typed before it starts. The pane stays open after it ends."""
        go, rc, leftover = self.path("go"), self.path("rc"), self.path("leftover")
        script = (f"stty -echo; while [ ! -e {go} ]; do sleep 0.02; done; {command}; echo $? > {rc}; "
                  f"IFS= read -r -n 1 -t 2 k; printf %s \"$k\" > {leftover}; exec sleep 3600")
        env = dict(os.environ)
        self.tmux("new-session", "-d", "-x", str(self.cols), "-y", str(self.rows), "-s", "e2e",
                  "bash", "-c", script)
        self.tmux("set-option", "-g", "window-size", "manual")
        self.tmux("resize-window", "-t", "e2e", "-x", str(self.cols), "-y", str(self.rows))
        self.tmux("pipe-pane", "-t", "e2e", "-o", f"cat >> {self.path('raw')}")
        if keys_first:
            self.tmux("send-keys", "-t", "e2e", *keys_first)
            time.sleep(0.3)
        open(go, "w").close()
        self.started = time.monotonic()

    def wait_for(self, predicate, timeout):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if predicate():
                return True
            time.sleep(0.1)
        return predicate()

    def screen(self):
        return self.tmux("capture-pane", "-p", "-t", "e2e").split("\n")[: self.rows]

    def cursor(self):
        x, y = self.tmux("display-message", "-p", "-t", "e2e", "#{cursor_x} #{cursor_y}").split()
        return int(x), int(y)

    def bells(self):
        try:
            with open(self.path("raw"), "rb") as f:
                return f.read().count(b"\x07")
        except FileNotFoundError:
            return 0

    def exit_code(self):
        try:
            with open(self.path("rc")) as f:
                text = f.read().strip()
                return int(text) if text else None
        except FileNotFoundError:
            return None

    def leftover(self):
        try:
            with open(self.path("leftover")) as f:
                return f.read()
        except FileNotFoundError:
            return None

    def close(self):
        self.tmux("kill-server", check=False)
        shutil.rmtree(self.dir, ignore_errors=True)


def command_for(args, out_dir, redirect="", program="demo"):
    if args.target == "linux":
        return f"cd {out_dir} && ./{program} {redirect}"
    loader = "/usr/lib/wine/wine64" if args.target == "win64" else "/usr/lib/wine/wine"
    return (f"cd {out_dir} && WINEPREFIX={args.prefix} WINEDEBUG=-all {loader} {program}.exe {redirect}")


def text_shown(run):
    return any(line.rstrip() == SENTENCE or SENTENCE in line for line in run.screen())


def check(failures, condition, message):
    if not condition:
        failures.append(message)


def expect_blank_but(failures, screen, rows):
    for row, line in enumerate(screen):
        want = rows.get(row, "")
        check(failures, line.rstrip() == want, f"row {row + 1} is {line.rstrip()!r}, want {want!r}")


def scenario_screen(args, cols, rows):
    """The sentence at the top left, the cursor below it, a bell before the
    key and one after, exit code 0."""
    def body(run, failures):
        run.start(command_for(args, args.out))
        check(failures, run.wait_for(lambda: text_shown(run), args.timeout), "the sentence never appeared")
        time.sleep(0.5)
        screen, cursor = run.screen(), run.cursor()
        if cols >= 16:
            expect_blank_but(failures, screen, {0: SENTENCE})
            check(failures, cursor == (0, 1), f"cursor at {cursor}, want column 1 of row 2")
        check(failures, run.exit_code() is None, "the program ended before a key was pressed")
        if args.bells:
            check(failures, run.bells() == 1, f"{run.bells()} bells before the key, want 1")
        run.tmux("send-keys", "-t", "e2e", "x")
        check(failures, run.wait_for(lambda: run.exit_code() is not None, args.timeout), "no exit after the key")
        check(failures, run.exit_code() == 0, f"exit code {run.exit_code()}")
        if args.bells:
            # tmux copies the pane's output to the record in its own time,
            # which may be after the exit code is written.
            run.wait_for(lambda: run.bells() >= 2, 2)
            check(failures, run.bells() == 2, f"{run.bells()} bells in all, want 2")
        return screen, cursor
    return body


def scenario_narrow(args, rows):
    """15 columns: the text fills the first row and the cursor wraps; the line
    end moves it one row further, or with two rows scrolls the text away."""
    def body(run, failures):
        run.start(command_for(args, args.out))
        done = run.wait_for(lambda: run.cursor() != (0, 0) or text_shown(run), args.timeout)
        check(failures, done, "nothing happened on the screen")
        time.sleep(1.0)
        screen, cursor = run.screen(), run.cursor()
        if rows == 2:
            expect_blank_but(failures, screen, {})
            check(failures, cursor == (0, 1), f"cursor at {cursor}, want column 1 of the last row")
        else:
            expect_blank_but(failures, screen, {0: SENTENCE})
            check(failures, cursor == (0, 2), f"cursor at {cursor}, want column 1 of row 3")
        run.tmux("send-keys", "-t", "e2e", "x")
        check(failures, run.wait_for(lambda: run.exit_code() == 0, args.timeout), "no exit 0 after the key")
        return screen, cursor
    return body


def scenario_key_first(args):
    """A key typed before the start ends the wait at once: two bells."""
    def body(run, failures):
        run.start(command_for(args, args.out), keys_first=["q"])
        check(failures, run.wait_for(lambda: run.exit_code() is not None, args.timeout), "the program kept waiting")
        check(failures, run.exit_code() == 0, f"exit code {run.exit_code()}")
        check(failures, text_shown(run), "the sentence was not shown")
        if args.bells:
            run.wait_for(lambda: run.bells() >= 2, 2)
            check(failures, run.bells() == 2, f"{run.bells()} bells, want 2")
        if args.target == "linux":
            run.wait_for(lambda: run.leftover() is not None, 5)
            check(failures, run.leftover() == "q", f"the key press was lost: {run.leftover()!r} left unread")
        return None, None
    return body


def scenario_stdout_to_file(args):
    """Standard output to a file, standard error on the terminal: the text is
    on the terminal and the file stays empty."""
    def body(run, failures):
        out_file = run.path("stdout.txt")
        run.start(command_for(args, args.out, f"> {out_file}"))
        check(failures, run.wait_for(lambda: text_shown(run), args.timeout), "the sentence never appeared")
        run.tmux("send-keys", "-t", "e2e", "x")
        check(failures, run.wait_for(lambda: run.exit_code() == 0, args.timeout), "no exit 0 after the key")
        check(failures, os.path.getsize(out_file) == 0, f"standard output received {os.path.getsize(out_file)} bytes")
        return None, None
    return body


def scenario_stdin_from_file(args):
    """Standard input from a file: keys typed at the terminal still end the
    wait, and the file is not read."""
    def body(run, failures):
        in_file = run.path("stdin.txt")
        with open(in_file, "w") as f:
            f.write("from the file\n")
        run.start(command_for(args, args.out, f"< {in_file}"))
        check(failures, run.wait_for(lambda: text_shown(run), args.timeout), "the sentence never appeared")
        time.sleep(0.5)
        check(failures, run.exit_code() is None, "the redirected input ended the wait")
        if args.target != "linux":
            # WINE-DIFFERS: Wine's console reads the keyboard only from a
            # terminal on standard input; with standard input redirected, keys
            # typed at the terminal never reach it (Windows reads them from
            # the console window). What can be checked is that the file does
            # not end the wait.
            print(f"note: {args.target} stdin-from-file: keys typed with standard input redirected do not "
                  "reach Wine's console; checked only that the redirected input does not end the wait")
            return None, None
        run.tmux("send-keys", "-t", "e2e", "x")
        check(failures, run.wait_for(lambda: run.exit_code() == 0, args.timeout), "no exit 0 after the key")
        return None, None
    return body


def scenario_library_missing(args):
    """Without the library the program does not start: nothing is drawn and
    the exit status is not 0."""
    def body(run, failures):
        lonely = run.path("alone")
        os.mkdir(lonely)
        program = "demo" if args.target == "linux" else "demo.exe"
        shutil.copy(os.path.join(args.out, program), lonely)
        if args.target == "linux":
            shutil.copy(os.path.join(args.out, "libwinstandin.so"), lonely)
        run.start(command_for(args, lonely))
        check(failures, run.wait_for(lambda: run.exit_code() is not None, args.timeout), "the program kept running")
        check(failures, run.exit_code() not in (None, 0), f"exit code {run.exit_code()}")
        check(failures, not text_shown(run), "the sentence was drawn")
        check(failures, run.bells() == 0, "the program beeped")
        return None, None
    return body


def scenario_no_memory(args):
    """A build whose string allocator always fails: the program still runs to
    its end, prints an empty line and exits 0."""
    def body(run, failures):
        run.start(command_for(args, args.tests, program="demo_no_memory"))
        check(failures, run.wait_for(lambda: run.cursor() == (0, 1), args.timeout), "the line end never came")
        time.sleep(0.5)
        expect_blank_but(failures, run.screen(), {})
        run.tmux("send-keys", "-t", "e2e", "x")
        check(failures, run.wait_for(lambda: run.exit_code() is not None, args.timeout), "no exit after the key")
        check(failures, run.exit_code() == 0, f"exit code {run.exit_code()}")
        return None, None
    return body


def scenarios(args):
    wide = 300
    return [
        ("screen-80x25", 80, 25, scenario_screen(args, 80, 25)),
        ("screen-16x2", 16, 2, scenario_screen(args, 16, 2)),
        (f"screen-{wide}x30", wide, 30, scenario_screen(args, wide, 30)),
        ("narrow-15x3", 15, 3, scenario_narrow(args, 3)),
        ("narrow-15x2", 15, 2, scenario_narrow(args, 2)),
        ("key-before-start", 80, 25, scenario_key_first(args)),
        ("stdout-to-file", 80, 25, scenario_stdout_to_file(args)),
        ("stdin-from-file", 80, 25, scenario_stdin_from_file(args)),
        ("library-missing", 80, 25, scenario_library_missing(args)),
        ("no-memory", 80, 25, scenario_no_memory(args)),
    ]


def never_started(run):
    """Nothing on the screen and no exit: the program never got going."""
    try:
        return run.exit_code() is None and not any(line.strip() for line in run.screen())
    except subprocess.CalledProcessError:
        return False


def run_one(args, name, cols, rows, body):
    # PLATFORM-LIMIT(win32): now and then 32-bit Wine under qemu-i386 user
    # emulation never gets a program going (an empty screen and no exit for
    # the whole timeout), while the same start at once afterwards works. On
    # that target such a scenario is started once more, and says so.
    started = time.monotonic()
    for attempt in (1, 2):
        # A tmux server of its own each time: the last one may still be going.
        run = Run(args, name if attempt == 1 else f"{name}-again", cols, rows)
        failures = []
        try:
            screen, cursor = body(run, failures)
        except Exception as error:  # a broken harness step is a failure, not a crash
            failures.append(f"harness: {error!r}")
            screen, cursor = None, None
        finally:
            again = attempt == 1 and args.target == "win32" and failures and never_started(run)
            run.close()
        if not again:
            break
        print(f"note: win32 {name}: the program showed nothing and did not end in {args.timeout} s; "
              "starting it once more", flush=True)
    return name, failures, time.monotonic() - started, screen, cursor


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--target", required=True, choices=["linux", "win64", "win32"])
    parser.add_argument("--out", required=True)
    parser.add_argument("--tests", required=True, help="where the test builds of the program are")
    parser.add_argument("--only")
    parser.add_argument("--jobs", type=int, default=1)
    parser.add_argument("--show", action="store_true", help="print the 80x25 screen")
    args = parser.parse_args()
    args.out = os.path.abspath(args.out)
    args.tests = os.path.abspath(args.tests)
    args.timeout = 30 if args.target == "linux" else 240
    # Wine draws no bell for the default sound without a sound device; the
    # bells are counted where the program's terminal receives them.
    args.bells = args.target == "linux"
    if args.target != "linux":
        args.prefix = subprocess.run([os.path.join(ROOT, "scripts", "wine-prefix.sh")], check=True,
                                     stdout=subprocess.PIPE, text=True).stdout.strip()
    chosen = [s for s in scenarios(args) if not args.only or args.only in s[0]]
    passed = failed = 0
    with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as pool:
        results = list(pool.map(lambda s: run_one(args, *s), chosen))
    for name, failures, seconds, screen, cursor in results:
        status = "ok" if not failures else "FAIL"
        print(f"{status}: {args.target} {name} ({seconds:.1f} s)")
        for failure in failures:
            print(f"    {failure}")
        if args.show and name == "screen-80x25" and screen:
            print("    screen:\n" + "\n".join(f"    |{line}" for line in screen) + f"\n    cursor {cursor}")
        passed, failed = passed + (not failures), failed + bool(failures)
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
