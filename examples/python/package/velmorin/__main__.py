"""python -m velmorin [FILE]...: the filter program velmorin in Python.

Capitalises the first letter a-z of every word of the FILEs, one after
another as one text, onto standard output; with no FILE, or where FILE is -,
reads standard input. Reads and writes in pieces, so memory stays bounded;
each piece goes to VELMORIN with the byte before it in front, so a word
starts after a space across the pieces' edges and the files' as in one call,
and after the first zero byte every byte passes unchanged.

Exit status: 0 when all went well, also when the reader of the output went
away; 1 when a FILE could not be read, the output could not be written, or
memory ran out; 2 for an unknown option.
"""
import os
import sys

from velmorin import __version__, capitalise

PIECE = 64 * 1024
USAGE = """usage: python -m velmorin [FILE]...
Capitalises the first letter a-z of every word of the FILEs, one after
another as one text, onto standard output; with no FILE, or where FILE
is -, reads standard input. A word starts at the text's first byte and
after every space; every other byte passes unchanged, and after the
first zero byte all of them do.

  --help     show this and end
  --version  show the version and end
  --         what follows is a FILE, even when it starts with -
"""


class OutputGone(Exception):
    """The reader of the output went away."""


class OutputFailed(Exception):
    """The output cannot be written."""


class Text:
    """The whole input as one text, capitalised piece by piece."""

    def __init__(self, out):
        self.out = out
        self.before = b" "  # the text's first byte starts a word
        self.passing = False  # after the first zero byte

    def write(self, piece):
        if not self.passing:
            self.passing = 0 in piece
            piece = capitalise(self.before + piece)[1:]
            self.before = piece[-1:]
        try:
            # Each piece as soon as it is there, as for a line typed at a terminal.
            self.out.write(piece)
            self.out.flush()
        except BrokenPipeError:
            raise OutputGone() from None
        except OSError as error:
            raise OutputFailed(error.strerror or str(error)) from None


def complain(message):
    sys.stderr.write(f"velmorin: {message}\n")
    sys.stderr.flush()


def copy(stream, text):
    while True:
        piece = stream.read(PIECE)
        if not piece:
            return
        text.write(piece)


def run(arguments):
    files = []
    options_over = False
    for argument in arguments:
        if options_over or argument == "-" or not argument.startswith("-"):
            files.append(argument)
        elif argument == "--":
            options_over = True
        elif argument == "--help":
            sys.stdout.write(USAGE)
            return 0
        elif argument == "--version":
            sys.stdout.write(f"velmorin {__version__}\n")
            return 0
        else:
            complain(f"unknown option '{argument}': try 'python -m velmorin --help'")
            return 2
    out = sys.stdout.buffer
    text = Text(out)
    status = 0
    try:
        for name in files or ["-"]:
            try:
                if name == "-":
                    copy(sys.stdin.buffer.raw if hasattr(sys.stdin.buffer, "raw") else sys.stdin.buffer, text)
                else:
                    with open(name, "rb", buffering=0) as stream:
                        copy(stream, text)
            except OSError as error:
                complain(f"cannot read '{'standard input' if name == '-' else name}': "
                         f"{error.strerror or error}")
                status = 1
        try:
            out.flush()
        except BrokenPipeError:
            raise OutputGone() from None
        except OSError as error:
            raise OutputFailed(error.strerror or str(error)) from None
    except OutputGone:
        pass
    except OutputFailed as error:
        complain(f"cannot write the output: {error}")
        return 1
    except MemoryError:
        complain("out of memory")
        return 1
    return status


def main():
    status = run(sys.argv[1:])
    # Whatever is still buffered for a reader that went away is dropped, so
    # that the interpreter's own flush at exit has nothing to complain about.
    try:
        sys.stdout.flush()
    except OSError:
        pass
    try:
        os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
    except OSError:
        pass
    return status


if __name__ == "__main__":
    sys.exit(main())
