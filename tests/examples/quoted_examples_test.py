#!/usr/bin/env python3
"""Checks that the code in doc/CALLING.txt and README.md is the examples'
own, so that what a caller copies is what the tests build and run:

- CALLING.txt quotes a file between "---- examples/PATH ----" and
  "---- end of examples/PATH ----", every line indented by four spaces;
  outside the quotes no more than four indented lines run together (a
  command line or two, never a program).
- README.md quotes a file in the fenced block right after a line
  "<!-- quoted from examples/PATH -->"; a fenced block of program code
  (c, cpp, python, cmake, csharp, pascal, vb) must be such a quote.

usage: quoted_examples_test.py SOURCE
"""
import os
import re
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from script_checks import report  # noqa: E402

CODE_FENCES = {"c", "cpp", "c++", "python", "cmake", "csharp", "cs", "pascal", "vb", "vba"}
LONGEST_UNQUOTED = 4


def example(source, path, failures, where):
    full = os.path.join(source, path)
    if not path.startswith("examples/") or not os.path.isfile(full):
        failures.append(f"{where} quotes {path}, which is no file under examples/")
        return None
    with open(full, encoding="utf-8") as f:
        return f.read()


def check_calling(source, failures):
    """The quotes of CALLING.txt; the paths it quotes."""
    with open(os.path.join(source, "doc", "CALLING.txt"), encoding="utf-8") as f:
        lines = f.read().split("\n")
    quoted, run = [], 0
    i = 0
    while i < len(lines):
        start = re.fullmatch(r"---- (\S+) ----", lines[i])
        if start:
            path = start.group(1)
            end = f"---- end of {path} ----"
            try:
                stop = lines.index(end, i + 1)
            except ValueError:
                failures.append(f"CALLING.txt line {i + 1}: the quote of {path} has no line {end!r}")
                return quoted
            body = lines[i + 1:stop]
            bad = [n for n, line in enumerate(body, i + 2) if line and not line.startswith("    ")]
            if bad:
                failures.append(f"CALLING.txt lines {bad}: quoted lines of {path} not indented by four spaces")
            text = "\n".join(line[4:] for line in body).strip("\n") + "\n"
            want = example(source, path, failures, f"CALLING.txt line {i + 1}")
            if want is not None and text != want.strip("\n") + "\n":
                failures.append(f"CALLING.txt's quote of {path} (line {i + 1}) is not the file as it is")
            quoted.append(path)
            i, run = stop + 1, 0
            continue
        run = run + 1 if lines[i].startswith("    ") else 0
        if run > LONGEST_UNQUOTED:
            failures.append(f"CALLING.txt line {i + 1}: more than {LONGEST_UNQUOTED} indented lines that quote "
                            "no file under examples/")
            run = -len(lines)  # once per block
        i += 1
    return quoted


def check_readme(source, failures):
    with open(os.path.join(source, "README.md"), encoding="utf-8") as f:
        lines = f.read().split("\n")
    quoted = []
    i = 0
    while i < len(lines):
        fence = re.fullmatch(r"```(\S*)", lines[i])
        if not fence:
            i += 1
            continue
        stop = lines.index("```", i + 1) if "```" in lines[i + 1:] else len(lines)
        marker = re.fullmatch(r"<!-- quoted from (\S+) -->", lines[i - 1]) if i > 0 else None
        if marker:
            path = marker.group(1)
            want = example(source, path, failures, f"README.md line {i}")
            text = "\n".join(lines[i + 1:stop]).strip("\n") + "\n"
            if want is not None and text != want.strip("\n") + "\n":
                failures.append(f"README.md's quote of {path} (line {i + 1}) is not the file as it is")
            quoted.append(path)
        elif fence.group(1).lower() in CODE_FENCES:
            failures.append(f"README.md line {i + 1}: a {fence.group(1)} block that quotes no file under examples/")
        i = stop + 1
    return quoted


def main():
    source = sys.argv[1]
    failures = []
    calling = check_calling(source, failures)
    readme = check_readme(source, failures)
    # The examples a caller starts from, each shown in full somewhere.
    for path in ("examples/c/capitalise.c", "examples/cpp/capitalise.cpp", "examples/python/capitalise.py",
                 "examples/csharp/Capitalise.cs", "examples/pascal/capitalise.pas", "examples/vba/Velmorin.bas"):
        if path not in calling:
            failures.append(f"CALLING.txt does not quote {path}")
    for path in ("examples/quickstart/linux.sh", "examples/quickstart/windows.sh"):
        if path not in readme:
            failures.append(f"README.md does not quote {path}")
    return report(failures, f"CALLING.txt quotes {len(calling)} examples and README.md {len(readme)}, as they are")


if __name__ == "__main__":
    sys.exit(main())
