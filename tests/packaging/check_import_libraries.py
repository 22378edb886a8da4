#!/usr/bin/env python3
"""Checks velmorin.lib, the import library for Microsoft's linker: its
entries, and that a program linked against it by lld-link imports VELMORIN
by that name from VELMORIN.DLL.

usage: check_import_libraries.py i386|x86-64 LLVM_READOBJ CLANG LLD_LINK OBJDUMP velmorin.lib msvc_caller.c SOURCE
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from script_checks import report  # noqa: E402

# On i686 callers name the stdcall symbol _VELMORIN@4, while the DLL exports
# VELMORIN: the entry must say to import the symbol's name undecorated.
ENTRIES = {
    "i386": ("undecorate", {"_VELMORIN@4", "__imp__VELMORIN@4"}),
    "x86-64": ("name", {"VELMORIN", "__imp_VELMORIN"}),
}
CLANG_TARGET = {"i386": "i686-pc-windows-msvc", "x86-64": "x86_64-pc-windows-msvc"}


def output(command):
    return subprocess.run(command, check=True, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True).stdout


def main():
    machine, readobj, clang, lld_link, objdump, library, caller, source = sys.argv[1:9]
    failures = []

    listing = output([readobj, library])
    imports = listing.split("Format: COFF-import-file")[1:]
    if len(imports) != 1:
        failures.append(f"{len(imports)} import entries in {library}, want 1")
    else:
        name_type = re.search(r"Name type: (\S+)", imports[0])
        symbols = set(re.findall(r"Symbol: (\S+)", imports[0]))
        want_type, want_symbols = ENTRIES[machine]
        if not name_type or name_type.group(1) != want_type:
            failures.append(f"name type {name_type.group(1) if name_type else None}, want {want_type}")
        if symbols != want_symbols:
            failures.append(f"symbols {sorted(symbols)}, want {sorted(want_symbols)}")

    work = tempfile.mkdtemp(prefix="velmorin-lib-")
    try:
        obj = os.path.join(work, "caller.obj")
        exe = os.path.join(work, "caller.exe")
        output([clang, f"--target={CLANG_TARGET[machine]}", "-O2", "-I", source, "-c", caller, "-o", obj])
        output([lld_link, "/nodefaultlib", "/entry:CallerEntry", "/subsystem:console", obj, library, f"/out:{exe}"])
        headers = output([objdump, "-p", exe])
        tables = [t for t in headers.split("DLL Name: ")[1:]]
        if [t.split()[0] for t in tables] != ["VELMORIN.DLL"]:
            failures.append(f"the caller imports from {[t.split()[0] for t in tables]}, want only VELMORIN.DLL")
        elif not re.search(r"^\s+[0-9a-f]+\s+\d+\s+VELMORIN$", tables[0], re.M):
            failures.append(f"the caller does not import VELMORIN by name:\n{tables[0]}")
    finally:
        shutil.rmtree(work, ignore_errors=True)

    return report(failures, f"{library} binds VELMORIN for lld-link ({machine})")


if __name__ == "__main__":
    sys.exit(main())
