#!/usr/bin/env python3
"""Builds and runs one of the caller's examples under examples/ the way the
texts tell a caller to: against a fresh installation of the build, with the
documented compile line, and checks what it prints. Exits 77 (skipped) only
when the language's tools are not installed (scripts/setup.sh installs them).

usage: examples_test.py c|cpp|python|wheel|csharp|pascal|vba|quickstart
         --build BUILD --source SOURCE --target linux|win64|win32
         [--cmake CMAKE] [--cc CC] [--cxx CXX] [--no-run | --no-run-under-qemu]
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from script_checks import report  # noqa: E402

SKIP = 77
# Argument -> the line each example prints for it: word starts after spaces
# only, a-z only, bytes from 0x80 up left alone, the empty string.
ARGUMENTS = [("dit is een zin.", b"Dit Is Een Zin."), ("  twee  spaties", b"  Twee  Spaties"),
             ("jean-luc o'neil", b"Jean-luc O'neil"), ("ABC def 123abc", b"ABC Def 123abc"),
             ("", b"")]
# Not through Wine: it passes arguments through the ANSI code page.
NATIVE_ONLY = [("\u00e9\u00e9n woord", "\u00e9\u00e9n Woord".encode())]
# Standard input -> output of the C++ example: line ends and tabs start no
# word, and the walk ends at the zero byte with the rest still there.
STDIN = [(b"dit is een zin.\n\tnee ja\0 nee\n", b"Dit Is Een Zin.\n\tnee Ja\0 nee\n"), (b"", b"")]


class Skip(Exception):
    pass


def run(command, failures, stdin=b"", env=None, cwd=None, timeout=240):
    """The command's standard output as bytes, or None when it fails. Output
    goes through files: Wine's services inherit descriptors and outlive the
    program."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err, tempfile.TemporaryFile() as inp:
        inp.write(stdin)
        inp.seek(0)
        try:
            code = subprocess.run(command, stdin=inp, stdout=out, stderr=err, env=env, cwd=cwd,
                                  timeout=timeout).returncode
        except subprocess.TimeoutExpired:
            code = f"nothing, still running after {timeout} s"
        except OSError as error:
            code = str(error)
        out.seek(0)
        err.seek(0)
        output, errors = out.read(), err.read().decode(errors="replace")
    if code != 0:
        failures.append(f"{' '.join(command)} exited with {code}:\n{output.decode(errors='replace')}{errors}")
        return None
    return output


def need(*tools):
    for tool in tools:
        if shutil.which(tool) is None:
            raise Skip(f"{tool} is not installed (scripts/setup.sh installs it)")


def runs_through_qemu():
    """Whether this kernel hands 32-bit programs to qemu-i386 (a registered
    binfmt entry wins over running them natively)."""
    try:
        with open("/proc/sys/fs/binfmt_misc/qemu-i386") as entry:
            return entry.readline().strip() == "enabled"
    except OSError:
        return False


def install(args, work, failures):
    prefix = os.path.join(work, "prefix")
    run([args.cmake, "--install", args.build, "--prefix", prefix], failures)
    return prefix


def wine_environment(args):
    prefix = subprocess.run(["bash", os.path.join(args.source, "scripts", "wine-prefix.sh")], check=True,
                            stdout=subprocess.PIPE, text=True).stdout.strip()
    return dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")


def launcher(args):
    """How to start a built program: natively, or with Wine's loader of the word size."""
    if args.target == "linux":
        return [], None
    loader = "/usr/lib/wine/wine64" if args.target == "win64" else "/usr/lib/wine/wine"
    return [loader], wine_environment(args)


def check_lines(what, output, cases, failures):
    if output is None:
        return
    got = output.replace(b"\r\n", b"\n")
    want = b"".join(line + b"\n" for _, line in cases)
    if got != want:
        failures.append(f"{what} printed {got!r}, want {want!r}")


def arguments(args):
    return ARGUMENTS + (NATIVE_ONLY if args.target == "linux" else [])


def compile_and_run(args, work, failures, source, compiler, extra):
    """Compiles one C or C++ example with the line CALLING.txt gives; the
    program, or None when it was not built (or is not to be run)."""
    prefix = install(args, work, failures)
    program = os.path.join(work, "capitalise.exe" if args.target != "linux" else "capitalise")
    if args.target == "linux":
        libraries = ["-lvelmorin", "-lwinstandin", f"-Wl,-rpath,{prefix}/lib"]
    else:
        libraries = ["-lvelmorin", "-loleaut32"]
    built = run([compiler, source, f"-I{prefix}/include", f"-L{prefix}/lib"] + libraries + extra + ["-o", program],
                failures)
    if built is None:
        return None
    if args.target != "linux":
        # Windows finds the DLL beside the program.
        shutil.copy(os.path.join(prefix, "bin", "VELMORIN.DLL"), work)
    return None if args.no_run else program


def test_c(args, work, failures):
    source = os.path.join(args.source, "examples", "c", "capitalise.c")
    program = compile_and_run(args, work, failures, source, args.cc, ["-Wall", "-Wextra", "-Werror"])
    if program:
        start, env = launcher(args)
        cases = arguments(args)
        check_lines("the C example", run(start + [program] + [a for a, _ in cases], failures, env=env), cases,
                    failures)
        check_lines("the C example with no argument", run(start + [program], failures, env=env),
                    ARGUMENTS[:1], failures)


def test_cpp(args, work, failures):
    source = os.path.join(args.source, "examples", "cpp", "capitalise.cpp")
    extra = ["-Wall", "-Wextra", "-Werror"]
    if args.target != "linux":
        extra += ["-static-libgcc", "-static-libstdc++"]  # no MinGW run-time DLLs to carry
    program = compile_and_run(args, work, failures, source, args.cxx, extra)
    if program:
        start, env = launcher(args)
        for given, want in STDIN:
            got = run(start + [program], failures, stdin=given, env=env)
            if got is not None and got != want:
                failures.append(f"the C++ example turned {given!r} into {got!r}, want {want!r}")


def test_python(args, work, failures):
    """The ctypes example: with --library, by default from the source tree's
    build or the search path, its help, and a library that is not there."""
    prefix = install(args, work, failures)
    script = os.path.join(args.source, "examples", "python", "capitalise.py")
    python = [sys.executable]
    cases = arguments(args)
    texts = [a for a, _ in cases]
    library = os.path.join(prefix, "lib", "libvelmorin.so.1")
    check_lines("capitalise.py --library", run(python + [script, "--library", library] + texts, failures), cases,
                failures)
    if os.path.realpath(args.build) == os.path.realpath(os.path.join(args.source, "build", "linux")):
        check_lines("capitalise.py without --library, in the source tree",
                    run(python + [script] + texts, failures), cases, failures)
    # Away from a source tree it takes the library the search path finds.
    alone = os.path.join(work, "capitalise.py")
    shutil.copy(script, alone)
    check_lines("capitalise.py without --library, on LD_LIBRARY_PATH",
                run(python + [alone] + texts, failures,
                    env=dict(os.environ, LD_LIBRARY_PATH=os.path.join(prefix, "lib"))), cases, failures)
    helped = run(python + [script, "--help"], failures)
    if helped is not None and b"else the system's search path." not in helped:
        failures.append(f"capitalise.py --help cuts its description short:\n{helped.decode()}")
    missing = subprocess.run(python + [alone, "--library", os.path.join(work, "nothing.so")],
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                             env=dict(os.environ, LD_LIBRARY_PATH=""))
    if missing.returncode != 1 or "Traceback" in missing.stdout or "--library" not in missing.stdout:
        failures.append(f"capitalise.py with no library exited {missing.returncode}: {missing.stdout}")


WHEEL_CHECK = r"""
import ctypes, os, random, subprocess, sys
import velmorin
failures = []
def check(condition, message):
    if not condition:
        failures.append(message)
check(os.path.dirname(velmorin.__file__).startswith(sys.prefix), f"velmorin came from {velmorin.__file__}")
cases = [(b"dit is een zin.", b"Dit Is Een Zin."), (bytearray(b"een\ttab"), b"Een\ttab"),
         (memoryview(b"a\0b c"), b"A\0b c"), (b"\xe9a b", b"\xe9a B"), (b"", b"")]
for given, want in cases:
    got = velmorin.capitalise(given)
    check(type(got) is bytes and got == want, f"capitalise({given!r}) gave {got!r}, want {want!r}")
for wrong in ["dit is een zin.", 15, None, [100, 105]]:
    try:
        velmorin.capitalise(wrong)
        check(False, f"capitalise({wrong!r}) raised nothing")
    except TypeError:
        pass
# An allocator with no memory left: the argument cannot be made.
real = velmorin._allocator.SysAllocStringByteLen
velmorin._allocator.SysAllocStringByteLen = lambda source, length: None
try:
    velmorin.capitalise(b"dit")
    check(False, "capitalise raised nothing when the allocator had no memory")
except MemoryError:
    pass
velmorin._allocator.SysAllocStringByteLen = real
check(velmorin.capitalise(b"weer") == b"Weer", "capitalise does not work again after a MemoryError")
# A long text goes to the library in pieces: the same bytes as in one call,
# with words, zero bytes and the pieces' edges anywhere.
rng = random.Random(27)
texts = [bytes(rng.choice(b"ab z\0") for _ in range(rng.randrange(1, 40))) for _ in range(300)]
whole = [velmorin.capitalise(t) for t in texts]
for piece in (1, 2, 5):
    velmorin._PIECE = piece
    for text, want in zip(texts, whole):
        for given in (text, bytearray(text), memoryview(text)):
            got = velmorin.capitalise(given)
            check(got == want, f"capitalise({given!r}) in pieces of {piece} gave {got!r}, want {want!r}")
velmorin._PIECE = 1 << 20
# The peak resident size over one call on 100 MiB, in a process of its own.
PEAK = ("import resource, velmorin; data = b'dit is een zin. ' * (100 << 16); "
        "peak = lambda: resource.getrusage(resource.RUSAGE_SELF).ru_maxrss; before = peak(); "
        "velmorin.capitalise(data); print((peak() - before) * 1024 / len(data))")
rise = float(subprocess.run([sys.executable, "-c", PEAK], check=True, stdout=subprocess.PIPE, text=True).stdout)
print(f"peak resident size rose by {rise:.3f} x the 100 MiB text;", end=" ")
check(rise <= 2, f"a call on 100 MiB raised the peak resident size by {rise:.2f} x the text, more than 2 x")
# One stand-in in the process, the wheel's own: one allocator for both.
with open("/proc/self/maps") as maps:
    standins = {line.split()[-1] for line in maps if "libwinstandin" in line}
check(len(standins) == 1 and all(p.startswith(sys.prefix) for p in standins), f"stand-ins loaded: {standins}")
print("\n".join("FAIL: " + f for f in failures) or "ok")
sys.exit(1 if failures else 0)
"""

# What a manylinux_2_NN policy lets an x86-64 wheel's libraries need: the
# libraries outside the wheel, and the newest symbol version of each family
# (GLIBC's is NN itself). The loader belongs to glibc.
MANYLINUX_LIBRARIES = {"libc.so.6", "libm.so.6", "libdl.so.2", "librt.so.1", "libpthread.so.0",
                       "libstdc++.so.6", "libgcc_s.so.1", "ld-linux-x86-64.so.2"}
MANYLINUX_NEWEST = {34: {"GLIBCXX": (3, 4, 29), "CXXABI": (1, 3, 13), "GCC": (7, 0, 0)}}


def check_wheel_libraries(names, folder, tag, failures):
    """The libraries of a Linux wheel: run-time path, debug information, and
    what they need from the system against the tag's manylinux policy."""
    policy = re.fullmatch(r"manylinux_2_(\d+)_x86_64", tag)
    limits = MANYLINUX_NEWEST.get(int(policy.group(1))) if policy else None
    if limits is None:
        failures.append(f"the wheel's tag {tag} is not a manylinux policy this test knows")
        return
    newest_glibc = 0
    for name in names:
        headers = subprocess.run(["objdump", "-p", "-h", os.path.join(folder, name)], stdout=subprocess.PIPE,
                                 text=True).stdout
        paths = re.findall(r"^\s*(RUNPATH|RPATH)\s+(\S+)", headers, re.M)
        if paths not in ([], [("RUNPATH", "$ORIGIN")]):
            failures.append(f"the wheel's {name} has the run-time paths {paths}, want $ORIGIN alone")
        if ".debug_info" in headers:
            failures.append(f"the wheel's {name} carries debug information")
        for needed in re.findall(r"^\s*NEEDED\s+(\S+)", headers, re.M):
            if needed not in MANYLINUX_LIBRARIES and needed not in names:
                failures.append(f"the wheel's {name} needs {needed}, which {tag} does not provide")
        for family, version in re.findall(r"^\s+0x[0-9a-f]+ 0x[0-9a-f]+ \d+ ([A-Z]+)_([\d.]+)$", headers, re.M):
            numbers = tuple(int(n) for n in version.split("."))
            if family == "GLIBC":
                newest_glibc = max(newest_glibc, numbers[1])
            elif family not in limits or numbers > limits[family]:
                failures.append(f"the wheel's {name} needs {family}_{version}, newer than {tag} allows")
    print(f"{tag}: the libraries need GLIBC_2.{newest_glibc} at most; within {limits}")
    if newest_glibc != int(policy.group(1)):
        failures.append(f"the wheel's libraries need GLIBC_2.{newest_glibc}, but it is tagged {tag}")


def debian_python():
    """A Python with the wheel's build tools: Debian's own, when another is first on PATH."""
    for python in ("/usr/bin/python3", sys.executable):
        if os.path.exists(python) and subprocess.run(
                [python, "-c", "import build, setuptools, wheel, venv, ensurepip"],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0:
            return python
    raise Skip("no Python with build, setuptools, wheel and venv (Debian: python3-build python3-setuptools "
               "python3-wheel python3-venv; scripts/setup.sh installs them)")


def test_wheel(args, work, failures):
    """Builds the wheel from the tree around the build's library; on Linux
    installs it into a fresh virtual environment and calls it there."""
    python = debian_python()
    made = run([python, os.path.join(args.source, "examples", "python", "make_wheel.py"), "--build", args.build,
                "--cmake", args.cmake, "--target", args.target, "--dest", os.path.join(work, "dist"),
                "--python", python], failures)
    if made is None:
        return
    wheel = made.decode().strip().splitlines()[-1]
    bundled = {"linux": ["libvelmorin.so.1", "libwinstandin.so.1"]}.get(args.target, ["VELMORIN.DLL"])
    platform = {"linux": r"manylinux_2_\d+_x86_64", "win64": "win_amd64", "win32": "win32"}[args.target]
    named = re.fullmatch(rf"velmorin-1\.0\.0-py3-none-({platform})\.whl", os.path.basename(wheel))
    if not named:
        failures.append(f"the wheel is {os.path.basename(wheel)}, not for py3-none-{platform}")
    with zipfile.ZipFile(wheel) as z:
        members = {m.filename: m for m in z.infolist()}
        print(f"{os.path.basename(wheel)}: {os.path.getsize(wheel)} bytes")
        for m in z.infolist():
            print(f"  {m.file_size:>9}  {m.filename}")
        want = {"velmorin/__init__.py", "velmorin/py.typed", "velmorin-1.0.0.dist-info/LICENSE"} | {
            f"velmorin/{n}" for n in bundled}
        if not want <= set(members):
            failures.append(f"the wheel lacks {sorted(want - set(members))}")
        z.extractall(os.path.join(work, "unpacked"))
        if args.target != "linux" and "velmorin/VELMORIN.DLL" in members and \
                z.read("velmorin/VELMORIN.DLL") != open(os.path.join(args.build, "out", "VELMORIN.DLL"), "rb").read():
            failures.append("the wheel's VELMORIN.DLL is not the release build's")
    if args.target == "linux" and named and not failures:
        check_wheel_libraries(bundled, os.path.join(work, "unpacked", "velmorin"), named.group(1), failures)
    if args.target != "linux":
        return  # a Windows wheel is inspected here, not run
    venv = os.path.join(work, "venv")
    if run([python, "-m", "venv", venv], failures) is None:
        return
    bin_dir = os.path.join(venv, "bin")
    if run([os.path.join(bin_dir, "python"), "-m", "pip", "install", "--no-index", "--no-deps", "--quiet", wheel],
           failures) is None:
        return
    environment = {k: v for k, v in os.environ.items() if k not in ("LD_LIBRARY_PATH", "PYTHONPATH")}
    checked = run([os.path.join(bin_dir, "python"), "-c", WHEEL_CHECK], failures, env=environment, cwd=work)
    if checked is not None:
        print("in a fresh virtual environment:", checked.decode().strip())
    check_source_tree_import(args, work, environment, failures)


def check_source_tree_import(args, work, environment, failures):
    """`import velmorin` in examples/python/package of a source tree: an
    error that says what to build, then, once built, the tree's build."""
    package = os.path.join(work, "tree", "examples", "python", "package")
    shutil.copytree(os.path.join(args.source, "examples", "python", "package", "velmorin"),
                    os.path.join(package, "velmorin"), ignore=shutil.ignore_patterns("*.so.1", "__pycache__"))
    open(os.path.join(work, "tree", "CMakePresets.json"), "w").close()
    importing = [sys.executable, "-c", "import velmorin; print(velmorin.capitalise(b'uit de boom').decode())"]
    bare = subprocess.run(importing, cwd=package, env=environment, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if b"ImportError: velmorin: " not in bare.stdout or b"cmake --build --preset linux" not in bare.stdout:
        failures.append(f"importing velmorin from a source tree without a build said: {bare.stdout}")
    os.makedirs(os.path.join(work, "tree", "build", "linux"))
    os.symlink(os.path.join(os.path.abspath(args.build), "out"), os.path.join(work, "tree", "build", "linux", "out"))
    check_lines("velmorin from a source tree", run(importing, failures, env=environment, cwd=package),
                [("", b"Uit De Boom")], failures)


def test_csharp(args, work, failures):
    need("mcs", "mono")
    prefix = install(args, work, failures)
    for name in ("Capitalise.cs", "Capitalise.exe.config"):
        shutil.copy(os.path.join(args.source, "examples", "csharp", name), work)
    if run(["mcs", "-warnaserror+", "-out:" + os.path.join(work, "Capitalise.exe"),
            os.path.join(work, "Capitalise.cs")], failures) is None:
        return
    cases = arguments(args)
    env = dict(os.environ, LD_LIBRARY_PATH=os.path.join(prefix, "lib"))
    check_lines("the C# example under Mono",
                run(["mono", os.path.join(work, "Capitalise.exe")] + [a for a, _ in cases], failures, env=env),
                cases, failures)


def test_pascal(args, work, failures):
    need("fpc")
    prefix = install(args, work, failures)
    source = os.path.join(work, "capitalise.pas")
    shutil.copy(os.path.join(args.source, "examples", "pascal", "capitalise.pas"), source)
    lib = os.path.join(prefix, "lib")
    compiled = run(["fpc", "-Sew", f"-Fl{lib}", "-k-rpath", f"-k{lib}", f"-FE{work}", source], failures)
    if compiled is None:
        return
    cases = arguments(args)
    check_lines("the Free Pascal example", run([os.path.join(work, "capitalise")] + [a for a, _ in cases], failures),
                cases, failures)


def test_vba(args, work, failures):
    """Checked as text only (running it needs Office): the module as the VBA
    editor's File > Import File takes it, as installed."""
    prefix = install(args, work, failures)
    folder = "examples" if args.target != "linux" else os.path.join("share", "doc", "velmorin", "examples")
    with open(os.path.join(prefix, folder, "Velmorin.bas"), "rb") as f:
        text = f.read()
    if not text.isascii():
        failures.append("Velmorin.bas is not plain ASCII")
    pairs = text.count(b"\r\n")
    if not text.endswith(b"\r\n") or text.count(b"\n") != pairs or text.count(b"\r") != pairs:
        failures.append("Velmorin.bas has lines that do not end in CR LF, which the VBA editor runs together")
    lines = text.replace(b"\r\n", b"\n").split(b"\n")
    if lines[0] != b'Attribute VB_Name = "Velmorin"':
        failures.append(f"Velmorin.bas starts {lines[0]!r}, not its module name")
    if max(len(line) for line in lines) > 1023:
        failures.append("Velmorin.bas has a line longer than VBA's 1023 characters")
    opened = sum(1 for line in lines if re.match(rb"\s*#If\b", line))
    closed = sum(1 for line in lines if re.match(rb"\s*#End If\b", line))
    if opened != closed or opened == 0:
        failures.append(f"Velmorin.bas has {opened} #If and {closed} #End If")


def test_quickstart(args, work, failures):
    """The README's quick start, word for word, with a home of its own."""
    script = os.path.join(args.source, "examples", "quickstart", f"{'linux' if args.target == 'linux' else 'windows'}.sh")
    if os.path.realpath(args.build) != os.path.realpath(os.path.join(args.source, "build", args.target)):
        raise Skip(f"the quick start uses build/{args.target} of the source tree, not {args.build}")
    if args.target == "linux":
        debian_python()
        env = dict(os.environ, HOME=work, PATH="/usr/bin:" + os.environ["PATH"])
    else:
        # The home is the test's own, the Wine prefix the one the README's user has.
        wine = wine_environment(args)
        env = dict(wine, HOME=work, VELMORIN_PRESET=args.target, VELMORIN_WINEPREFIX=wine["WINEPREFIX"])
    out = run(["bash", "-e", script], failures, env=env, cwd=args.source, timeout=600)
    if out is not None:
        lines = out.replace(b"\r\n", b"\n").splitlines()
        want = [b"Dit Is Een Zin."] + ([b"b'Dit Is Een Zin.'"] if args.target == "linux" else [])
        if [line for line in lines if b"Dit Is" in line] != want:
            failures.append(f"the quick start printed {out!r}, want the lines {want!r}")


TESTS = {"c": test_c, "cpp": test_cpp, "python": test_python, "wheel": test_wheel, "csharp": test_csharp,
         "pascal": test_pascal, "vba": test_vba, "quickstart": test_quickstart}


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("example", choices=sorted(TESTS))
    parser.add_argument("--build", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--target", required=True, choices=["linux", "win64", "win32"])
    parser.add_argument("--cmake", default="cmake")
    parser.add_argument("--cc", default="cc")
    parser.add_argument("--cxx", default="c++")
    parser.add_argument("--no-run", action="store_true", help="build the example but do not run it")
    parser.add_argument("--no-run-under-qemu", action="store_true",
                        help="build the example, and run it only where 32-bit programs run natively")
    args = parser.parse_args()
    if args.no_run_under_qemu and runs_through_qemu():
        print("32-bit programs run through qemu-i386 here, about a minute each: built, not run")
        args.no_run = True
    failures = []
    work = tempfile.mkdtemp(prefix=f"velmorin-example-{args.example}-")
    try:
        TESTS[args.example](args, work, failures)
    except Skip as why:
        print(f"skipped: {why}")
        return SKIP
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return report(failures, f"the {args.example} example on {args.target}"
                            f"{' (built, not run)' if args.no_run else ''}")


if __name__ == "__main__":
    sys.exit(main())
