#!/usr/bin/env python3
"""Builds the wheel of the Python package velmorin (package/) around a built
library: copies the package to a scratch folder, puts the library in it (on
Linux libvelmorin.so.1 and libwinstandin.so.1, on Windows VELMORIN.DLL) and
the licence beside it, and runs `python -m build --wheel` offline, with the
build tools installed on this machine (on Debian: python3-build,
python3-setuptools, python3-wheel). Prints the wheel's path.

usage: make_wheel.py --out-dir BUILD/out --target linux|win64|win32 --dest DIR [--python PYTHON]
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.normpath(os.path.join(HERE, "..", ".."))
LIBRARIES = {"linux": ["libvelmorin.so.1", "libwinstandin.so.1"], "win64": ["VELMORIN.DLL"], "win32": ["VELMORIN.DLL"]}
PLATFORM = {"linux": "", "win64": "win_amd64", "win32": "win32"}


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--out-dir", required=True, help="the build's out/ folder, which holds the library")
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
        for name in LIBRARIES[args.target]:
            # The file itself under its soname, not the link to it.
            shutil.copy(os.path.realpath(os.path.join(args.out_dir, name)), os.path.join(tree, "velmorin", name))
        environment = dict(os.environ, VELMORIN_WHEEL_PLATFORM=PLATFORM[args.target])
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
