"""A program on a fresh pseudo-terminal of its own, as its controlling
terminal, for the tests that drive the stand-in's console from Python. Nothing
answers the terminal queries the program sends."""
import fcntl
import os
import select
import struct
import subprocess
import termios
import time


class PtyChild:
    """closed lists the standard descriptors the program starts without."""

    def __init__(self, command, closed=(), columns=80, rows=25, cwd=None):
        self.master, self.slave = os.openpty()
        fcntl.ioctl(self.slave, termios.TIOCSWINSZ, struct.pack("HHHH", rows, columns, 0, 0))
        self.original = termios.tcgetattr(self.slave)
        self.output = b""
        slave = self.slave

        def own_terminal():
            os.setsid()
            fcntl.ioctl(slave, termios.TIOCSCTTY, 0)
            for fd in closed:
                os.close(fd)

        self.started = time.monotonic()
        self.child = subprocess.Popen(command, stdin=slave, stdout=slave, stderr=slave, cwd=cwd,
                                      preexec_fn=own_terminal)

    def drain(self, seconds):
        """Reads what the program wrote for up to this long."""
        end = time.monotonic() + seconds
        while True:
            left = end - time.monotonic()
            ready, _, _ = select.select([self.master], [], [], max(left, 0))
            if ready:
                try:
                    self.output += os.read(self.master, 65536)
                except OSError:
                    return
            if left <= 0:
                return

    def read_until(self, marker, timeout=10.0):
        end = time.monotonic() + timeout
        while marker not in self.output and time.monotonic() < end:
            self.drain(0.05)
        return marker in self.output

    def wait(self, timeout=10.0):
        """The exit status (minus the signal that ended it), or None when the
        program had to be killed because it did not end in time."""
        end = time.monotonic() + timeout
        while self.child.poll() is None and time.monotonic() < end:
            self.drain(0.05)
        timed_out = self.child.poll() is None
        if timed_out:
            self.child.kill()
        code = self.child.wait()
        self.drain(0.1)
        return None if timed_out else code

    def settings(self):
        return termios.tcgetattr(self.slave)

    def raw(self):
        lflag = self.settings()[3]
        return not (lflag & termios.ECHO) and not (lflag & termios.ICANON)

    def settings_restored(self):
        return self.settings() == self.original

    def close(self):
        for fd in (self.master, self.slave):
            try:
                os.close(fd)
            except OSError:
                pass
