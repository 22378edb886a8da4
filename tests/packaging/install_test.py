#!/usr/bin/env python3
"""Installs a build into a fresh prefix and uses it as another project would:
checks what was installed, builds examples/c against the installed CMake
package with a CMake project of its own (and on Linux also with pkg-config),
and runs the program, under Wine for a Windows build. On Linux it also runs
examples/python against the installed library.

usage: install_test.py --cmake CMAKE --build BUILD --source SOURCE --target linux|win64|win32
                       [--toolchain FILE] [--objdump OBJDUMP] [--no-run]
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

VERSION = "1.0.0"
SENTENCES = ["dit is een zin.", "al  twee spaties", "1e plaats, 2e plaats"]
EXPECTED = "Dit Is Een Zin.\nAl  Twee Spaties\n1e Plaats, 2e Plaats\n"

# Every example, in each installation, as the tests use it.
EXAMPLES = {"capitalise.c": "c/capitalise.c", "capitalise.cpp": "cpp/capitalise.cpp",
            "Capitalise.cs": "csharp/Capitalise.cs", "Capitalise.exe.config": "csharp/Capitalise.exe.config",
            "capitalise.pas": "pascal/capitalise.pas", "capitalise.py": "python/capitalise.py",
            "Velmorin.bas": "vba/Velmorin.bas"}
EXAMPLES_DIR = {"windows": "examples", "linux": "share/doc/velmorin/examples"}
INSTALLED = {
    "windows": {"bin/VELMORIN.DLL", "bin/demo.exe", "bin/velmorin.exe", "include/velmorin.h", "lib/libvelmorin.dll.a",
                "lib/velmorin.lib", "lib/VELMORIN.def", "lib/cmake/velmorin/velmorinConfig.cmake",
                "lib/cmake/velmorin/velmorinConfigVersion.cmake", "CALLING.txt",
                "LICENSE", "CHANGELOG.md", "README.txt"},
    "linux": {"bin/velmorin-demo", "share/man/man1/velmorin-demo.1.gz", "bin/velmorin",
              "share/man/man1/velmorin.1.gz", "include/velmorin.h",
              "lib/libvelmorin.so", "lib/libvelmorin.so.1",
              f"lib/libvelmorin.so.{VERSION}", "lib/libwinstandin.so", "lib/libwinstandin.so.1",
              f"lib/libwinstandin.so.{VERSION}", "lib/pkgconfig/velmorin.pc",
              "lib/cmake/velmorin/velmorinConfig.cmake", "lib/cmake/velmorin/velmorinConfigVersion.cmake",
              "share/doc/velmorin/CALLING.txt", "share/doc/velmorin/LICENSE",
              "share/doc/velmorin/CHANGELOG.md", "share/doc/velmorin/README.md"},
}


def clean_env():
    """The environment without a library path that could hide a wrong run path."""
    return {k: v for k, v in os.environ.items() if k != "LD_LIBRARY_PATH"}


def run(command, failures, timeout=240, **kwargs):
    """The command's output, or None when it fails. The output goes through a
    file, not a pipe: the first Wine program of a wineserver's life starts
    Wine's service processes, which inherit its descriptors and outlive it."""
    with tempfile.TemporaryFile("w+") as out:
        try:
            done = subprocess.run(command, stdout=out, stderr=subprocess.STDOUT, text=True, timeout=timeout,
                                  **kwargs)
            code = done.returncode
        except subprocess.TimeoutExpired:
            code = f"nothing, still running after {timeout} s"
        out.seek(0)
        text = out.read()
    if code != 0:
        failures.append(f"{' '.join(command)} exited with {code}:\n{text}")
        return None
    return text


def installed_files(prefix):
    found = set()
    for folder, _, files in os.walk(prefix):
        for name in files:
            found.add(os.path.relpath(os.path.join(folder, name), prefix).replace(os.sep, "/"))
    return found


def same_bytes(a, b):
    with open(a, "rb") as first, open(b, "rb") as second:
        return first.read() == second.read()


def check_output(what, output, failures):
    if output is None:
        return
    got = output.replace("\r\n", "\n")
    if got != EXPECTED:
        failures.append(f"{what} printed {got!r}, want {EXPECTED!r}")


def check_linux_libraries(prefix, failures):
    """The names the dynamic loader goes by, and the stand-in found beside the library."""
    headers = run(["objdump", "-p", os.path.join(prefix, "lib", f"libvelmorin.so.{VERSION}")], failures)
    if headers is None:
        return
    for field, value in (("SONAME", "libvelmorin.so.1"), ("NEEDED", "libwinstandin.so.1"),
                         ("RUNPATH", "$ORIGIN")):
        if not re.search(rf"^\s*{field}\s+{re.escape(value)}\s*$", headers, re.M):
            failures.append(f"installed libvelmorin has no {field} {value}")
    if os.readlink(os.path.join(prefix, "lib", "libvelmorin.so.1")) != f"libvelmorin.so.{VERSION}":
        failures.append("libvelmorin.so.1 does not point at the versioned file")


def check_header_version(prefix, failures):
    """The header's version macros against the installed CMake package's version."""
    with open(os.path.join(prefix, "include", "velmorin.h")) as f:
        header = re.findall(r"^#define VELMORIN_VERSION_(?:MAJOR|MINOR|PATCH) (\d+)$", f.read(), re.M)
    with open(os.path.join(prefix, "lib", "cmake", "velmorin", "velmorinConfigVersion.cmake")) as f:
        package = re.findall(r'^set\(PACKAGE_VERSION "([^"]+)"\)', f.read(), re.M)
    if [".".join(header)] != package:
        failures.append(f"velmorin.h says version {header}, the CMake package {package}")


def check_imports(objdump, program, failures):
    """Without running it: the program imports VELMORIN by that name from VELMORIN.DLL."""
    headers = run([objdump, "-p", program], failures)
    if headers is None:
        return
    tables = headers.split("DLL Name: ")
    velmorin = [t for t in tables[1:] if t.startswith("VELMORIN.DLL")]
    if not velmorin or not re.search(r"^\s+[0-9a-f]+\s+\d+\s+VELMORIN$", velmorin[0], re.M):
        failures.append(f"{program} does not import VELMORIN from VELMORIN.DLL:\n{headers}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cmake", default="cmake")
    parser.add_argument("--build", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--target", required=True, choices=["linux", "win64", "win32"])
    parser.add_argument("--toolchain")
    parser.add_argument("--objdump", default="objdump")
    parser.add_argument("--no-run", action="store_true", help="check the program's imports instead of running it")
    args = parser.parse_args()
    windows = args.target != "linux"
    failures = []

    work = tempfile.mkdtemp(prefix="velmorin-install-")
    try:
        prefix = os.path.join(work, "prefix")
        run([args.cmake, "--install", args.build, "--prefix", prefix], failures)
        found = installed_files(prefix)
        system = "windows" if windows else "linux"
        want = INSTALLED[system] | {f"{EXAMPLES_DIR[system]}/{name}" for name in EXAMPLES}
        if found != want:
            failures.append(f"installed {sorted(found - want)} besides, {sorted(want - found)} missing")
        check_header_version(prefix, failures)
        for name, source in EXAMPLES.items():
            installed = os.path.join(prefix, EXAMPLES_DIR[system], name)
            if os.path.isfile(installed) and not same_bytes(installed, os.path.join(args.source, "examples", source)):
                failures.append(f"the installed {name} is not examples/{source}")
        if not windows:
            check_linux_libraries(prefix, failures)

        example = os.path.join(args.source, "examples", "c")
        build = os.path.join(work, "example")
        configure = [args.cmake, "-S", example, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
                     f"-DCMAKE_PREFIX_PATH={prefix}"]
        if args.toolchain:
            configure.append(f"-DCMAKE_TOOLCHAIN_FILE={args.toolchain}")
        if run(configure, failures) is not None and run([args.cmake, "--build", build], failures) is not None:
            program = os.path.join(build, "capitalise.exe" if windows else "capitalise")
            if args.no_run:
                check_imports(args.objdump, program, failures)
            elif windows:
                wine_run = os.path.join(args.source, "scripts", "wine-run")
                check_output("the example under Wine", run([wine_run, program] + SENTENCES, failures), failures)
            else:
                check_output("the example", run([program] + SENTENCES, failures), failures)

        if not windows:
            # The same program built with nothing but pkg-config's flags.
            env = dict(os.environ, PKG_CONFIG_PATH=os.path.join(prefix, "lib", "pkgconfig"))
            flags = run(["pkg-config", "--cflags", "--libs", "velmorin"], failures, env=env)
            if flags is not None:
                program = os.path.join(work, "capitalise-pkg-config")
                sources = [os.path.join(example, "capitalise.c")]
                compiled = run(["cc", "-o", program] + sources + flags.split() +
                               [f"-Wl,-rpath,{os.path.join(prefix, 'lib')}"], failures)
                if compiled is not None:
                    check_output("the pkg-config build", run([program] + SENTENCES, failures), failures)
            # The installed filter finds the installed library by itself.
            sentences = os.path.join(work, "sentences.txt")
            with open(sentences, "w") as f:
                f.write("".join(s + "\n" for s in SENTENCES))
            # One text: a line end starts no word.
            filtered = run([os.path.join(prefix, "bin", "velmorin"), sentences], failures, env=clean_env())
            want = "Dit Is Een Zin.\nal  Twee Spaties\n1e Plaats, 2e Plaats\n"
            if filtered is not None and filtered != want:
                failures.append(f"the installed filter printed {filtered!r}, want {want!r}")
            # From Python, the installed library finds its stand-in by itself.
            python_example = os.path.join(args.source, "examples", "python", "capitalise.py")
            library = os.path.join(prefix, "lib", "libvelmorin.so.1")
            check_output("the Python example",
                         run([sys.executable, python_example, "--library", library] + SENTENCES, failures), failures)
    finally:
        shutil.rmtree(work, ignore_errors=True)

    for failure in failures:
        print("FAIL:", failure)
    if not failures:
        print(f"ok: installed {args.target}, built examples/c against it and "
              f"{'checked its imports' if args.no_run else 'ran it'}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
