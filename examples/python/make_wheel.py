#!/usr/bin/env python3
"""Builds the wheel of the Python package velmorin (package/) from a build:
installs the build, stripped, into a scratch folder, copies the package
there, puts the installed library in it (on Linux libvelmorin.so.1 and
libwinstandin.so.1, whose run-time path is $ORIGIN alone; on Windows
VELMORIN.DLL) and the licence beside it, and runs `python -m build --wheel`
offline, with the build tools installed on this machine (on Debian:
python3-build, python3-setuptools, python3-wheel). Prints the wheel's path.

A Linux wheel is tagged manylinux_2_NN for the newest glibc symbol version
its libraries need (objdump -p): the oldest glibc they load on. What else
they need (libstdc++, libgcc_s) is checked against that policy's limits by
the wheel's test.

usage: make_wheel.py --build BUILD --target linux|win64|win32 --dest DIR [--cmake CMAKE] [--python PYTHON]
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.normpath(os.path.join(HERE, "..", ".."))
LIBRARIES = {"linux": ["libvelmorin.so.1", "libwinstandin.so.1"], "win64": ["VELMORIN.DLL"], "win32": ["VELMORIN.DLL"]}
PLATFORM = {"win64": "win_amd64", "win32": "win32"}
# objdump's name of an ELF machine -> the wheel tag's.
MACHINES = {"i386:x86-64": "x86_64", "i386": "i686", "aarch64": "aarch64"}


def manylinux_tag(libraries, objdump="objdump"):
    """manylinux_2_NN_MACHINE, NN the newest GLIBC_2.NN the libraries need."""
    newest, machine = 17, None
    for library in libraries:
        headers = subprocess.run([objdump, "-p", library], check=True, stdout=subprocess.PIPE, text=True).stdout
        found = re.search(r"^architecture: ([^,\s]+)", subprocess.run(
            [objdump, "-f", library], check=True, stdout=subprocess.PIPE, text=True).stdout, re.M)
        machine = MACHINES.get(found.group(1)) if found else None
        if machine is None:
            sys.exit(f"make_wheel.py: {library} is for a machine no manylinux tag names")
        for minor in re.findall(r"\sGLIBC_2\.(\d+)", headers):
            newest = max(newest, int(minor))
    return f"manylinux_2_{newest}_{machine}"


def installed(prefix, name):
    """The installed file of that name (the file itself, not a link to it)."""
    for folder, _, files in os.walk(prefix):
        if name in files:
            return os.path.realpath(os.path.join(folder, name))
    sys.exit(f"make_wheel.py: the installation in {prefix} has no {name}")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", required=True, help="the build folder, which cmake --install installs")
    parser.add_argument("--cmake", default="cmake")
    parser.add_argument("--target", required=True, choices=sorted(LIBRARIES))
    parser.add_argument("--dest", required=True, help="where the wheel goes")
    parser.add_argument("--python", default=sys.executable, help="the Python whose build tools make the wheel")
    args = parser.parse_args()

    work = tempfile.mkdtemp(prefix="velmorin-wheel-")
    try:
        tree = os.path.join(work, "velmorin")
        shutil.copytree(os.path.join(HERE, "package"), tree,
                        ignore=shutil.ignore_patterns("__pycache__", "*.egg-info", "build", "dist"))
        shutil.copy(os.path.join(SOURCE, "LICENSE"), tree)
        # The installed files, not the build's: their run-time path is
        # $ORIGIN, not the build folder, and they carry no debug information.
        prefix = os.path.join(work, "prefix")
        installing = subprocess.run([args.cmake, "--install", args.build, "--prefix", prefix, "--strip"],
                                    stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        if installing.returncode != 0:
            sys.stderr.write(installing.stdout)
            sys.exit(f"make_wheel.py: cmake --install {args.build} failed (exit {installing.returncode})")
        libraries = []
        for name in LIBRARIES[args.target]:
            # The file itself under its soname, not the link to it.
            libraries.append(os.path.join(tree, "velmorin", name))
            shutil.copy(installed(prefix, name), libraries[-1])
        platform = PLATFORM.get(args.target) or manylinux_tag(libraries)
        environment = dict(os.environ, VELMORIN_WHEEL_PLATFORM=platform)
        os.makedirs(args.dest, exist_ok=True)
        before = set(os.listdir(args.dest))
        built = subprocess.run([args.python, "-m", "build", "--wheel", "--no-isolation", "--outdir",
                                os.path.abspath(args.dest), tree], cwd=work, env=environment,
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        if built.returncode != 0:
            sys.stderr.write(built.stdout)
            sys.exit(f"make_wheel.py: {args.python} -m build failed (exit {built.returncode})")
        made = sorted(set(os.listdir(args.dest)) - before) or sorted(
            n for n in os.listdir(args.dest) if n.endswith(".whl"))
        print(os.path.join(args.dest, made[-1]))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
