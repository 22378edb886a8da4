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
import os
import shutil
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from pty_child import PtyChild  # noqa: E402
from script_checks import check, run_tests  # noqa: E402

PROBE = os.path.abspath(sys.argv[1])
SIGNAL_ENDINGS = "--no-signal-endings" not in sys.argv[2:]
HAND_BACK = b"\x1b[0m\x1b[?7h\x1b[?25h"



def Pty(args):
    return PtyChild([PROBE] + args)


def test_bytes_of_the_screen_steps():
    sizes = {}
    for step in ("clear", "sentence", "line-end"):
        t = Pty([step])
        code = t.wait()
        check(code == 0, f"{step}: exit code {code}")
        check(t.settings_restored(), f"{step}: terminal settings not given back")
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
        check(t.raw(), f"{number.name}: the terminal is not raw while the console is in use")
        t.child.send_signal(number)
        code = t.wait()
        check(code == -number, f"{number.name}: ended with {code}, not by the signal")
        check(t.settings_restored(), f"{number.name}: terminal settings not given back")
        check(t.output.endswith(HAND_BACK), f"{number.name}: no hand-back bytes at the end")
        t.close()


def test_ctrl_c_is_a_key_unless_processed_input_is_on():
    t = Pty(["hold"])
    t.read_until(b"held")
    os.write(t.master, b"\x03")
    time.sleep(0.3)
    check(t.child.poll() is None, "Ctrl+C ended the probe although processed input is off")
    t.child.terminate()
    check(t.wait() is not None, "Ctrl+C as a key: the probe did not end on SIGTERM")
    t.close()
    if not SIGNAL_ENDINGS:
        print("SKIP: Ctrl+C ending the probe")
        return

    t = Pty(["hold", "processed"])
    t.read_until(b"held")
    os.write(t.master, b"\x03")
    code = t.wait()
    check(code == -signal.SIGINT, f"Ctrl+C with processed input on: ended with {code}")
    check(t.settings_restored(), "Ctrl+C: terminal settings not given back")
    t.close()


def test_raw_mode_comes_back_after_a_suspend():
    t = Pty(["hold", "processed"])
    t.read_until(b"held")
    os.write(t.master, b"\x1a")
    # A process group that no shell controls is not stopped, so the probe
    # carries on at once, and must have the console's settings again.
    time.sleep(0.3)
    check(t.child.poll() is None, "Ctrl+Z ended the probe")
    check(t.raw(), "after Ctrl+Z the terminal is not raw again")
    t.child.terminate()
    check(t.wait() is not None, "after Ctrl+Z: the probe did not end on SIGTERM")
    check(t.settings_restored(), "after Ctrl+Z and SIGTERM: settings not given back")
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
    return run_tests([test_bytes_of_the_screen_steps, test_settings_come_back_on_each_ending_signal,
                      test_ctrl_c_is_a_key_unless_processed_input_is_on, test_raw_mode_comes_back_after_a_suspend,
                      test_tmux_shows_the_sentence_and_the_cursor_below_it])


if __name__ == "__main__":
    sys.exit(main())
