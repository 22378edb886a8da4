#!/usr/bin/env python3
"""The Linux build's packages, as a distribution and its users get them.

packages:   cpack into BUILD/packaging-test/; each Debian package's files,
            dependencies and symbols file (against the packaged library's
            exports), lintian's verdict (stripping, RUNPATH, ldconfig trigger,
            copyright...), and the plain archive against `cmake --install`.
clean-root: those packages installed with apt-get into a fresh Debian 12 root
            (scripts/debian-root.sh); the packaged C example built there with
            pkg-config and run, velmorin-demo run with and without its
            library, everything purged. Skipped (77) where chroot is refused.
defaults:   a configure without a build type builds Release, without GoogleTest.

usage: debian_packages_test.py packages|clean-root|defaults --build BUILD --source SOURCE [--cmake CMAKE]
"""
import argparse
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from script_checks import report  # noqa: E402

VERSION = "1.0.0"
EXAMPLES = ["capitalise.c", "capitalise.cpp", "Capitalise.cs", "Capitalise.exe.config", "capitalise.pas",
            "capitalise.py", "Velmorin.bas"]
DEV_DOC = "usr/share/doc/libvelmorin-dev/"
# package -> (its files besides its copyright and changelog, the packages it depends on)
PACKAGES = {
    "libvelmorin1": ({"usr/lib/libvelmorin.so.1", f"usr/lib/libvelmorin.so.{VERSION}"}, {"libwinstandin1"}),
    "libwinstandin1": ({"usr/lib/libwinstandin.so.1", f"usr/lib/libwinstandin.so.{VERSION}"}, set()),
    "libvelmorin-dev": ({"usr/include/velmorin.h", "usr/lib/libvelmorin.so", "usr/lib/libwinstandin.so",
                         "usr/lib/pkgconfig/velmorin.pc", "usr/lib/cmake/velmorin/velmorinConfig.cmake",
                         "usr/lib/cmake/velmorin/velmorinConfigVersion.cmake",
                         "usr/share/lintian/overrides/libvelmorin-dev"} |
                        {DEV_DOC + name for name in ("CALLING.txt", "README.md", "CHANGELOG.md")} |
                        {DEV_DOC + "examples/" + name for name in EXAMPLES}, {"libvelmorin1", "libwinstandin1"}),
    "velmorin-tools": ({"usr/bin/velmorin-demo", "usr/share/man/man1/velmorin-demo.1.gz", "usr/bin/velmorin",
                        "usr/share/man/man1/velmorin.1.gz"},
                       {"libvelmorin1", "libwinstandin1"}),
}
SONAMES = {"libvelmorin1": "libvelmorin.so.1", "libwinstandin1": "libwinstandin.so.1"}
SENTENCES = "'dit is een zin.' 'al  twee spaties'"
EXPECTED = "Dit Is Een Zin.\nAl  Twee Spaties\n"


class Skip(Exception):
    pass


def run(command, failures, timeout=300):
    """The command's output (standard error with it), or None when it fails."""
    try:
        done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, timeout=timeout)
    except subprocess.TimeoutExpired:
        failures.append(f"{' '.join(command)} still running after {timeout} s")
        return None
    if done.returncode != 0:
        failures.append(f"{' '.join(command)} exited with {done.returncode}:\n{done.stdout}")
        return None
    return done.stdout


def files_under(root):
    return {os.path.relpath(os.path.join(d, n), root) for d, _, names in os.walk(root) for n in names}


def debs(build):
    arch = subprocess.run(["dpkg", "--print-architecture"], stdout=subprocess.PIPE, text=True).stdout.strip()
    return {p: os.path.join(build, "packaging-test", f"{p}_{VERSION}_{arch}.deb") for p in PACKAGES}


def check_symbols(package, root, control, failures):
    """The symbols file names exactly what the packaged library exports."""
    with open(os.path.join(control, "symbols")) as f:
        lines = f.read().splitlines()
    if lines[0] != f"{SONAMES[package]} {package} #MINVER#":
        failures.append(f"{package}: symbols file starts {lines[0]!r}")
    listed = {m[1] for m in (re.match(r"^ (\S+)@Base \S+$", line) for line in lines) if m}
    exported = run(["nm", "-D", "--defined-only", os.path.join(root, "usr/lib", SONAMES[package])], failures) or ""
    names = {parts[2] for parts in (line.split() for line in exported.splitlines()) if len(parts) == 3}
    if listed != names:
        failures.append(f"{package}: symbols file lists {sorted(listed - names)} besides, misses {sorted(names - listed)}")


def packages(args):
    for tool in ("dpkg-deb", "lintian", "nm"):
        if shutil.which(tool) is None:
            raise Skip(f"{tool} not installed (scripts/setup.sh installs it)")
    failures = []
    out = os.path.join(args.build, "packaging-test")
    shutil.rmtree(out, ignore_errors=True)
    cpack = os.path.join(os.path.dirname(args.cmake), "cpack")
    if run([cpack, "--config", os.path.join(args.build, "CPackConfig.cmake"), "-B", out], failures) is None:
        return failures
    work = tempfile.mkdtemp(prefix="velmorin-deb-")
    try:
        for package, deb in debs(args.build).items():
            files, depends = PACKAGES[package]
            root, control = os.path.join(work, package), os.path.join(work, package + ".control")
            if run(["dpkg-deb", "-x", deb, root], failures) is None or run(["dpkg-deb", "-e", deb, control], failures) is None:
                continue
            print(f"{os.path.basename(deb)}:\n{run(['dpkg-deb', '-c', deb], failures)}")
            want = files | {f"usr/share/doc/{package}/{name}" for name in ("copyright", "changelog.gz")}
            found = files_under(root)
            if found != want:
                failures.append(f"{package} holds {sorted(found - want)} besides, {sorted(want - found)} missing")
            field = run(["dpkg-deb", "-f", deb, "Depends"], failures) or ""
            missing = depends - {re.split(r"[ (]", d.strip())[0] for d in field.split(",")}
            if missing:
                failures.append(f"{package} does not depend on {sorted(missing)}: {field.strip()}")
            if package in SONAMES:
                check_symbols(package, root, control, failures)

        verdict = subprocess.run(["lintian", "--pedantic", "--show-overrides"] + sorted(glob.glob(out + "/*.deb")),
                                 stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        print(f"lintian --pedantic --show-overrides (exit {verdict.returncode}):\n{verdict.stdout}")
        complaints = [line for line in verdict.stdout.splitlines() if re.match(r"^[EW]: ", line)]
        if complaints or verdict.returncode != 0:
            failures.append("lintian: " + "\n".join(complaints or [verdict.stdout]))

        name = f"velmorin-{VERSION}-linux-{os.uname().machine}"
        prefix = os.path.join(work, "prefix")
        run([args.cmake, "--install", args.build, "--prefix", prefix], failures)
        members = run(["tar", "-tzf", os.path.join(out, name + ".tar.gz")], failures) or ""
        archived = {m[len(name) + 1:] for m in members.splitlines() if not m.endswith("/")}
        if archived != files_under(prefix):
            failures.append(f"{name}.tar.gz holds {sorted(archived - files_under(prefix))} besides the "
                            f"installation, misses {sorted(files_under(prefix) - archived)}")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return failures


def clean_root(args):
    # Unpacking a root and entering it need root: the test's own rights, or
    # sudo's where it asks for no password.
    sudo = [] if os.geteuid() == 0 else ["sudo", "-n"]
    if sudo and shutil.which("sudo") is None:
        raise Skip("a clean root needs chroot, which needs root or sudo")
    probe = subprocess.run(sudo + ["chroot", "/", "true"], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if probe.returncode != 0:
        raise Skip(f"a clean root needs chroot, refused here (as root or through sudo without a password): "
                   f"{probe.stdout.strip()}")
    failures = []
    cached = os.environ.get("VELMORIN_DEBIAN_ROOT", os.path.expanduser("~/.cache/velmorin/debian12-root.tar"))
    made = run(sudo + ["env", f"VELMORIN_DEBIAN_ROOT={cached}", "bash",
                       os.path.join(args.source, "scripts", "debian-root.sh")], failures, timeout=900)
    if made is None:
        return failures
    root = tempfile.mkdtemp(prefix="velmorin-root-")

    def inside(script):
        return run(sudo + ["chroot", root, "/bin/sh", "-ec",
                           "export DEBIAN_FRONTEND=noninteractive LC_ALL=C.UTF-8\n" + script], failures)

    try:
        if run(sudo + ["tar", "-xf", made.split()[-1], "-C", root], failures) is None or \
           run(sudo + ["cp"] + list(debs(args.build).values()) + [root + "/tmp"], failures) is None:
            return failures
        installed = inside("apt-get install -y -q --no-install-recommends /tmp/*.deb")
        if installed is None:
            return failures
        print("".join(line + "\n" for line in installed.splitlines() if line.startswith("Setting up")), end="")
        # The packaged example, with nothing but pkg-config's flags: the
        # libraries are found where the system looks.
        built = inside(f"cc -o /tmp/capitalise /{DEV_DOC}examples/capitalise.c $(pkg-config --cflags --libs velmorin)"
                       f" && /tmp/capitalise {SENTENCES}")
        print(f"the packaged example, built with pkg-config's flags, printed {built!r}")
        if built is not None and built != EXPECTED:
            failures.append(f"the example printed {built!r}, want {EXPECTED!r}")
        # Without a terminal the program has no console: it binds every
        # import of its libraries and ends at once; without its library it
        # must not start.
        inside("setsid velmorin-demo </dev/null >/dev/null 2>&1")
        gone = inside("dpkg --remove --force-depends libvelmorin1 >/dev/null 2>&1\n"
                      "setsid velmorin-demo </dev/null 2>&1 && echo started || echo refused")
        if gone is None or "libvelmorin.so.1" not in gone or not gone.endswith("refused\n"):
            failures.append(f"velmorin-demo without libvelmorin1: {gone!r}")
        left = inside("apt-get purge -y -q velmorin-tools libvelmorin-dev libwinstandin1 >/dev/null 2>&1\n"
                      f"ls -d /usr/lib/lib*velmorin* /usr/lib/libwinstandin* /usr/bin/velmorin-demo /{DEV_DOC} "
                      "2>/dev/null || true")
        if left:
            failures.append(f"purging the packages left {left.split()}")
    finally:
        subprocess.run(sudo + ["rm", "-rf", "--one-file-system", root])
    return failures


def defaults(args):
    failures = []
    work = tempfile.mkdtemp(prefix="velmorin-defaults-")
    try:
        if run([args.cmake, "-S", args.source, "-B", work, "-G", "Ninja", "-DBUILD_TESTING=OFF"], failures) is not None:
            with open(os.path.join(work, "CMakeCache.txt")) as f:
                cache = f.read()
            if not re.search(r"^CMAKE_BUILD_TYPE:STRING=Release$", cache, re.M):
                failures.append("a configure without a build type does not build Release")
            if re.search(r"^GTest_DIR|^GTEST_", cache, re.M):
                failures.append("a configure without the tests looks for GoogleTest")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return failures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("mode", choices=["packages", "clean-root", "defaults"])
    parser.add_argument("--build", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--cmake", default="cmake")
    args = parser.parse_args()
    try:
        failures = {"packages": packages, "clean-root": clean_root, "defaults": defaults}[args.mode](args)
    except Skip as reason:
        print(f"skipped: {reason}")
        return 77
    return report(failures, f"{args.mode}: as a distribution and its users want it")


if __name__ == "__main__":
    sys.exit(main())
