#!/usr/bin/env python3
"""Builds the Windows deliverables twice, in two build folders of different
paths, makes the release and symbols archives in each with cpack, and checks
that both pairs are byte-identical, that no folder of either build shows
in them, and that the symbols archive puts each PDB beside its binary. Prints each archive's listing and size.

usage: reproducible_release_test.py CMAKE CPACK SOURCE TOOLCHAIN NAME
       (NAME: the release archive's name, e.g. velmorin-1.0.0-win64)
"""
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from pe_image import PeImage  # noqa: E402
from script_checks import report  # noqa: E402

# Each shipped binary and the PDB its CodeView record names. The filter's is
# not velmorin.pdb, which a Windows folder could not hold beside VELMORIN.pdb.
PDB_NAMES = {"VELMORIN.DLL": "VELMORIN.pdb", "demo.exe": "demo.pdb", "velmorin.exe": "velmorin.exe.pdb"}


def build(cmake, cpack, source, toolchain, folder):
    steps = [[cmake, "-S", source, "-B", folder, "-G", "Ninja", f"--toolchain={toolchain}",
              "-DCMAKE_BUILD_TYPE=Release", "-DBUILD_TESTING=OFF"],
             [cmake, "--build", folder],
             [cpack, "-G", "ZIP", "--config", os.path.join(folder, "CPackConfig.cmake"),
              "-B", os.path.join(folder, "package")]]
    for step in steps:
        done = subprocess.run(step, cwd=folder, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        if done.returncode != 0:
            print(done.stdout)
            return f"{' '.join(step[:2])} failed in {folder}"
    return None


def listing(path):
    with zipfile.ZipFile(path) as z:
        print(f"{os.path.basename(path)}, {os.path.getsize(path)} bytes, "
              f"sha256 {hashlib.sha256(open(path, 'rb').read()).hexdigest()[:16]}:")
        for m in z.infolist():
            if not m.is_dir():
                print(f"  {m.file_size:9d}  {m.filename}")
        return {m.filename: z.read(m) for m in z.infolist() if not m.is_dir()}


def main():
    cmake, cpack, source, toolchain, name = sys.argv[1:6]
    failures = []
    work = tempfile.mkdtemp(prefix="velmorin-twice-")
    folders = [os.path.join(work, "one"), os.path.join(work, "a-second", "build-folder")]
    try:
        for folder in folders:
            os.makedirs(folder)
            failed = build(cmake, cpack, source, toolchain, folder)
            if failed:
                return report([failed], "")
        contents = {}
        for archive in (f"{name}.zip", f"{name}-symbols.zip"):
            paths = [os.path.join(folder, "package", archive) for folder in folders]
            if not all(os.path.isfile(p) for p in paths):
                failures.append(f"{archive} was not made in both folders")
                continue
            members = contents[archive] = listing(paths[0])
            with open(paths[0], "rb") as a, open(paths[1], "rb") as b:
                if a.read() != b.read():
                    with zipfile.ZipFile(paths[1]) as z:
                        other = {m.filename: z.read(m) for m in z.infolist() if not m.is_dir()}
                    changed = sorted(n for n in members.keys() | other.keys() if members.get(n) != other.get(n))
                    failures.append(f"{archive} differs between {folders[0]} and {folders[1]}, in {changed}")
            for member, data in members.items():
                for place in folders + [os.path.abspath(source)]:
                    if place.encode() in data:
                        failures.append(f"{archive}: {member} holds the path {place}")
        # Unpacked over the release folder, each PDB lies beside its binary,
        # under the name the binary's CodeView record gives.
        release, symbols = contents.get(f"{name}.zip", {}), contents.get(f"{name}-symbols.zip", {})
        for binary, pdb_name in PDB_NAMES.items():
            pdb = f"{name}/bin/{pdb_name}"
            if pdb not in symbols:
                failures.append(f"the symbols archive has no {pdb}, beside {name}/bin/{binary}")
            elif f"{name}/bin/{binary}" in release:
                named = PeImage(data=release[f"{name}/bin/{binary}"]).codeview_records()
                if [n for _, _, n in named] != [os.path.basename(pdb)]:
                    failures.append(f"{binary} names its PDB {named}, want {os.path.basename(pdb)}")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return report(failures, f"{name}.zip and {name}-symbols.zip are the same bytes from two build folders")


if __name__ == "__main__":
    sys.exit(main())
