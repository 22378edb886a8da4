#!/usr/bin/env python3
"""Makes the release archive of a Windows build with cpack and checks what it
holds: exactly the shipped files under one top folder, the binaries the same
bytes as the build's. Prints the listing and the archive's size.

usage: check_release_archive.py CPACK BUILD NAME
       (NAME: the archive's top folder, e.g. velmorin-1.0.0-win32)
"""
import os
import shutil
import subprocess
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from script_checks import report  # noqa: E402

SHIPPED = {"CALLING.txt", "bin/VELMORIN.DLL", "bin/demo.exe", "bin/velmorin.exe", "include/velmorin.h", "lib/libvelmorin.dll.a",
           "lib/velmorin.lib", "lib/VELMORIN.def", "lib/cmake/velmorin/velmorinConfig.cmake",
           "lib/cmake/velmorin/velmorinConfigVersion.cmake",
           "LICENSE", "CHANGELOG.md", "README.txt", "examples/capitalise.c", "examples/capitalise.cpp",
           "examples/Capitalise.cs", "examples/Capitalise.exe.config", "examples/capitalise.pas",
           "examples/capitalise.py", "examples/Velmorin.bas"}
# Archive member -> the build's own file, which it must equal.
FROM_BUILD = {"bin/VELMORIN.DLL": "out/VELMORIN.DLL", "bin/demo.exe": "out/demo.exe",
              "bin/velmorin.exe": "out/velmorin.exe",
              "lib/libvelmorin.dll.a": "out/libvelmorin.dll.a", "lib/velmorin.lib": "out/velmorin.lib",
              "lib/VELMORIN.def": "out/VELMORIN.def"}


def main():
    cpack, build, name = sys.argv[1], sys.argv[2], sys.argv[3]
    failures = []
    work = tempfile.mkdtemp(prefix="velmorin-archive-")
    try:
        made = subprocess.run([cpack, "-G", "ZIP", "--config", os.path.join(build, "CPackConfig.cmake"), "-B", work],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        archive = os.path.join(work, name + ".zip")
        if made.returncode != 0 or not os.path.isfile(archive):
            print(f"FAIL: cpack made no {name}.zip (exit {made.returncode}):\n{made.stdout}")
            return 1
        with zipfile.ZipFile(archive) as z:
            members = [m for m in z.infolist() if not m.is_dir()]
            print(f"{name}.zip, {os.path.getsize(archive)} bytes:")
            for m in members:
                print(f"  {m.file_size:9d}  {m.filename}")
            names = {m.filename for m in members}
            want = {f"{name}/{path}" for path in SHIPPED}
            if names != want:
                failures.append(f"archive holds {sorted(names - want)} besides, {sorted(want - names)} missing")
            for member, built in FROM_BUILD.items():
                if f"{name}/{member}" in names:
                    with open(os.path.join(build, built), "rb") as f:
                        if z.read(f"{name}/{member}") != f.read():
                            failures.append(f"{member} differs from the build's {built}")
            if f"{name}/CALLING.txt" in names:
                text = z.read(f"{name}/CALLING.txt").decode("ascii", "replace")
                for topic in ("C++", "ctypes", "SysAllocStringByteLen", "SysFreeString", "VELMORIN"):
                    if topic not in text:
                        failures.append(f"CALLING.txt says nothing of {topic}")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return report(failures, f"{name}.zip holds the {len(SHIPPED)} shipped files")


if __name__ == "__main__":
    sys.exit(main())
