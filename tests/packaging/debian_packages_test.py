#!/usr/bin/env python3
"""The Linux build's packages, as a distribution and its users get them.

packages:   makes them with cpack into BUILD/packaging-test/ and checks each
            Debian package's files, dependencies, shlibs and symbols (against
            the packaged library's exports), stripped binaries with their debug
            files in -dbgsym, RUNPATHs only within the package, lintian's
            verdict, and that the plain archive holds what `cmake --install`
            installs.
clean-root: installs those packages with apt-get into a fresh Debian 12 root
            (scripts/debian-root.sh), builds the shipped C example there with
            pkg-config, runs it and velmorin-demo, then removes the library
            under the program and purges everything.
defaults:   a configure without a preset or build type builds Release, and
            without the tests it needs no GoogleTest.
Exits 77 (skipped) where the tools are not installed or the kernel refuses a
chroot.

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

SKIP = 77
VERSION = "1.0.0"
EXAMPLES = {"capitalise.c": "c/capitalise.c", "capitalise.cpp": "cpp/capitalise.cpp",
            "Capitalise.cs": "csharp/Capitalise.cs", "Capitalise.exe.config": "csharp/Capitalise.exe.config",
            "capitalise.pas": "pascal/capitalise.pas", "capitalise.py": "python/capitalise.py",
            "Velmorin.bas": "vba/Velmorin.bas"}
DOCS = {"copyright", "changelog.gz"}
# package -> (its files besides /usr/share/doc/PACKAGE/{copyright,changelog.gz}, the packages it depends on)
PACKAGES = {
    "libvelmorin1": ({"usr/lib/libvelmorin.so.1", f"usr/lib/libvelmorin.so.{VERSION}"}, {"libwinstandin1"}),
    "libwinstandin1": ({"usr/lib/libwinstandin.so.1", f"usr/lib/libwinstandin.so.{VERSION}"}, set()),
    "libvelmorin-dev": ({"usr/include/velmorin.h", "usr/lib/libvelmorin.so", "usr/lib/libwinstandin.so",
                         "usr/lib/pkgconfig/velmorin.pc", "usr/lib/cmake/velmorin/velmorinConfig.cmake",
                         "usr/lib/cmake/velmorin/velmorinConfigVersion.cmake",
                         "usr/share/lintian/overrides/libvelmorin-dev"} |
                        {f"usr/share/doc/libvelmorin-dev/{name}" for name in ("CALLING.txt", "README.md", "CHANGELOG.md")} |
                        {f"usr/share/doc/libvelmorin-dev/examples/{name}" for name in EXAMPLES},
                        {"libvelmorin1", "libwinstandin1"}),
    "velmorin-tools": ({"usr/bin/velmorin-demo", "usr/share/man/man1/velmorin-demo.1.gz"},
                       {"libvelmorin1", "libwinstandin1"}),
}
LIBRARIES = {"libvelmorin1": "libvelmorin.so.1", "libwinstandin1": "libwinstandin.so.1"}
SENTENCES = ["dit is een zin.", "al  twee spaties"]
EXPECTED = "Dit Is Een Zin.\nAl  Twee Spaties\n"


class Skip(Exception):
    pass


def run(command, failures, timeout=300, **kwargs):
    """The command's output (standard error with it), or None when it fails."""
    try:
        done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                              timeout=timeout, **kwargs)
    except subprocess.TimeoutExpired:
        failures.append(f"{' '.join(command)} still running after {timeout} s")
        return None
    if done.returncode != 0:
        failures.append(f"{' '.join(command)} exited with {done.returncode}:\n{done.stdout}")
        return None
    return done.stdout


def need(*tools):
    missing = [tool for tool in tools if shutil.which(tool) is None]
    if missing:
        raise Skip(f"{', '.join(missing)} not installed (scripts/setup.sh installs them)")


def package_dir(build):
    return os.path.join(build, "packaging-test")


def deb_of(folder, package):
    return os.path.join(folder, f"{package}_{VERSION}_{arch()}.deb")


def arch():
    return subprocess.run(["dpkg", "--print-architecture"], stdout=subprocess.PIPE, text=True).stdout.strip()


def elf_files(root):
    for folder, _, names in os.walk(root):
        for name in names:
            path = os.path.join(folder, name)
            if not os.path.islink(path):
                with open(path, "rb") as f:
                    if f.read(4) == b"\x7fELF":
                        yield path


def check_binaries(package, root, dbgsym_root, failures):
    """Stripped, each with its debug file under its build id in -dbgsym, and
    searching for libraries only within the package."""
    for path in elf_files(root):
        name = os.path.relpath(path, root)
        sections = run(["readelf", "-S", "-W", path], failures) or ""
        if ".symtab" in sections or ".debug_info" in sections:
            failures.append(f"{package}: {name} is not stripped")
        notes = run(["readelf", "-n", path], failures) or ""
        found = re.search(r"Build ID: ([0-9a-f]{2})([0-9a-f]+)", notes)
        if not found or not os.path.isfile(os.path.join(dbgsym_root, "usr/lib/debug/.build-id",
                                                        found[1], found[2] + ".debug")):
            failures.append(f"{package}-dbgsym has no debug file for {name}")
        dynamic = run(["readelf", "-d", "-W", path], failures) or ""
        for search in re.findall(r"\((?:RPATH|RUNPATH)\)\s+Library r(?:un)?path: \[(.*)\]", dynamic):
            outside = [entry for entry in search.split(":") if not entry.startswith("$ORIGIN")]
            if outside:
                failures.append(f"{package}: {name} searches {outside} for libraries")


def check_symbols(package, root, control, failures):
    """The symbols file names exactly what the packaged library exports."""
    soname = LIBRARIES[package]
    with open(os.path.join(control, "symbols")) as f:
        lines = f.read().splitlines()
    if not lines or lines[0] != f"{soname} {package} #MINVER#":
        failures.append(f"{package}: symbols file starts {lines[:1]}")
    listed = {m[1] for m in (re.match(r"^ (\S+)@Base \S+$", line) for line in lines) if m}
    exported = run(["nm", "-D", "--defined-only", os.path.join(root, "usr/lib", soname)], failures) or ""
    names = {parts[2] for parts in (line.split() for line in exported.splitlines()) if len(parts) == 3}
    if listed != names:
        failures.append(f"{package}: symbols file lists {sorted(listed - names)} besides the exports, "
                        f"misses {sorted(names - listed)}")
    with open(os.path.join(control, "shlibs")) as f:
        shlibs = f.read().split()
    if shlibs[:3] != [soname.split(".so.")[0], soname.split(".so.")[1], package]:
        failures.append(f"{package}: shlibs says {shlibs}")


def packages(args):
    need("cpack", "dpkg-deb", "lintian", "readelf", "nm")
    failures = []
    out = package_dir(args.build)
    shutil.rmtree(out, ignore_errors=True)
    cpack = os.path.join(os.path.dirname(args.cmake), "cpack") if os.path.dirname(args.cmake) else "cpack"
    if run([cpack, "--config", os.path.join(args.build, "CPackConfig.cmake"), "-B", out], failures) is None:
        return failures
    work = tempfile.mkdtemp(prefix="velmorin-deb-")
    try:
        for package, (files, depends) in PACKAGES.items():
            deb = deb_of(out, package)
            root, control, dbgsym = (os.path.join(work, package, part) for part in ("root", "control", "dbgsym"))
            os.makedirs(os.path.join(work, package))
            if run(["dpkg-deb", "-x", deb, root], failures) is None or \
               run(["dpkg-deb", "-e", deb, control], failures) is None:
                continue
            listing = run(["dpkg-deb", "-c", deb], failures) or ""
            print(f"{os.path.basename(deb)}:\n{listing}")
            found = set()
            for folder, _, names in os.walk(root):
                found |= {os.path.relpath(os.path.join(folder, n), root) for n in names}
            want = files | {f"usr/share/doc/{package}/{name}" for name in DOCS}
            if found != want:
                failures.append(f"{package} holds {sorted(found - want)} besides, {sorted(want - found)} missing")
            fields = run(["dpkg-deb", "-f", deb, "Depends"], failures) or ""
            named = {re.split(r"[ (]", d.strip())[0] for d in fields.split(",")}
            if depends - named:
                failures.append(f"{package} does not depend on {sorted(depends - named)}: {fields.strip()}")
            dbgsym_deb = os.path.join(out, f"{package}-dbgsym_{VERSION}_{arch()}.ddeb")
            if os.path.exists(dbgsym_deb):
                run(["dpkg-deb", "-x", dbgsym_deb, dbgsym], failures)
            check_binaries(package, root, dbgsym, failures)
            scripts = set(os.listdir(control)) & {"postinst", "postrm", "preinst", "prerm"}
            if package in LIBRARIES:
                check_symbols(package, root, control, failures)
                triggers = os.path.join(control, "triggers")
                if not os.path.isfile(triggers) or "activate-noawait ldconfig" not in open(triggers).read():
                    failures.append(f"{package} does not trigger ldconfig")
            if scripts:
                failures.append(f"{package} has maintainer scripts {sorted(scripts)}")
            if package == "libvelmorin-dev":
                for name, source in EXAMPLES.items():
                    shipped = os.path.join(root, "usr/share/doc/libvelmorin-dev/examples", name)
                    if not os.path.isfile(shipped):
                        continue  # already reported as missing
                    with open(shipped, "rb") as a, open(os.path.join(args.source, "examples", source), "rb") as b:
                        if a.read() != b.read():
                            failures.append(f"the packaged {name} is not examples/{source}")

        debs = sorted(glob.glob(os.path.join(out, "*.deb")))
        verdict = subprocess.run(["lintian", "--pedantic", "--show-overrides"] + debs, stdout=subprocess.PIPE,
                                 stderr=subprocess.STDOUT, text=True)
        print(f"lintian --pedantic --show-overrides (exit {verdict.returncode}):\n{verdict.stdout}")
        complaints = [line for line in verdict.stdout.splitlines() if re.match(r"^[EW]: ", line)]
        if complaints or verdict.returncode != 0:
            failures.append("lintian: " + "\n".join(complaints or [verdict.stdout]))

        # The plain archive is the plain installation.
        name = f"velmorin-{VERSION}-linux-{os.uname().machine}"
        archive = os.path.join(out, name + ".tar.gz")
        prefix = os.path.join(work, "prefix")
        run([args.cmake, "--install", args.build, "--prefix", prefix], failures)
        installed = {os.path.relpath(os.path.join(d, n), prefix) for d, _, ns in os.walk(prefix) for n in ns}
        members = run(["tar", "-tzf", archive], failures) or ""
        archived = {m[len(name) + 1:] for m in members.splitlines() if not m.endswith("/")}
        if archived != installed:
            failures.append(f"{name}.tar.gz holds {sorted(archived - installed)} besides the installation, "
                            f"misses {sorted(installed - archived)}")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return failures


def clean_root(args):
    need("dpkg-deb", "tar", "chroot")
    # Unpacking a root and entering it need root: the test's own rights, or
    # sudo's where it asks for no password.
    sudo = []
    if os.geteuid() != 0:
        if shutil.which("sudo") is None or subprocess.run(["sudo", "-n", "true"], capture_output=True).returncode:
            raise Skip("installing into a clean root needs chroot, which needs root (or sudo without a password)")
        sudo = ["sudo", "-n"]
    probe = subprocess.run(sudo + ["chroot", "/", "true"], stderr=subprocess.PIPE, text=True)
    if probe.returncode != 0:
        raise Skip(f"the kernel refuses chroot here: {probe.stderr.strip()}")
    cached = os.environ.get("VELMORIN_DEBIAN_ROOT", os.path.expanduser("~/.cache/velmorin/debian12-root.tar"))
    if not os.path.isfile(cached):
        need("mmdebstrap")
    failures = []
    made = run(sudo + ["env", f"VELMORIN_DEBIAN_ROOT={cached}", "bash",
                       os.path.join(args.source, "scripts", "debian-root.sh")], failures, timeout=900)
    if made is None:
        return failures
    tarball = made.strip().splitlines()[-1]
    debs = [deb_of(package_dir(args.build), package) for package in PACKAGES]
    missing = [d for d in debs if not os.path.isfile(d)]
    if missing:
        return [f"no packages to install, run the packages test first: {missing}"]
    root = tempfile.mkdtemp(prefix="velmorin-root-")
    try:
        if run(sudo + ["tar", "-xf", tarball, "-C", root], failures) is None or \
           run(sudo + ["cp"] + debs + [os.path.join(root, "tmp")], failures) is None:
            return failures

        def inside(script, **kwargs):
            script = "export DEBIAN_FRONTEND=noninteractive LC_ALL=C.UTF-8\n" + script
            return run(sudo + ["chroot", root, "/bin/sh", "-ec", script], failures, **kwargs)

        installed = inside("apt-get install -y -q --no-install-recommends /tmp/*.deb")
        if installed is None:
            return failures
        print("".join(line + "\n" for line in installed.splitlines() if line.startswith("Setting up")), end="")
        # The example shipped in the package, with nothing but pkg-config's
        # flags: the libraries are found where the system looks.
        built = inside("cc -o /tmp/capitalise /usr/share/doc/libvelmorin-dev/examples/capitalise.c "
                       "$(pkg-config --cflags --libs velmorin) && /tmp/capitalise " +
                       " ".join(f"'{s}'" for s in SENTENCES))
        if built is not None and built != EXPECTED:
            failures.append(f"the example printed {built!r}, want {EXPECTED!r}")
        print(f"the packaged example, built with pkg-config's flags, printed {built!r}")
        # Without a terminal the program has no console: it starts, binding
        # every import of its libraries, and ends at once.
        inside("setsid velmorin-demo </dev/null >/dev/null 2>&1")
        # Without its library it must not start.
        gone = subprocess.run(sudo + ["chroot", root, "/bin/sh", "-c",
                               "dpkg --remove --force-depends libvelmorin1 >/dev/null 2>&1 && "
                               "setsid velmorin-demo </dev/null"],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, timeout=120)
        if gone.returncode == 0 or "libvelmorin.so.1" not in gone.stdout:
            failures.append(f"velmorin-demo without libvelmorin1 exited {gone.returncode}: {gone.stdout!r}")
        left = inside("apt-get purge -y -q velmorin-tools libvelmorin-dev libwinstandin1 >/dev/null 2>&1; "
                      "ls /usr/lib/libvelmorin* /usr/lib/libwinstandin* /usr/bin/velmorin-demo "
                      "/usr/share/doc/libvelmorin-dev 2>/dev/null || true")
        if left:
            failures.append(f"purging the packages left {left.split()}")
    finally:
        subprocess.run(sudo + ["rm", "-rf", "--one-file-system", root])
    return failures


def defaults(args):
    failures = []
    work = tempfile.mkdtemp(prefix="velmorin-defaults-")
    try:
        if run([args.cmake, "-S", args.source, "-B", work, "-G", "Ninja", "-DBUILD_TESTING=OFF"], failures) is None:
            return failures
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
        return SKIP
    return report(failures, {"packages": "the Debian packages and the plain archive are complete and lintian-clean",
                             "clean-root": "installed, used and purged in a clean Debian root",
                             "defaults": "a plain configure builds Release, without GoogleTest"}[args.mode])


if __name__ == "__main__":
    sys.exit(main())
