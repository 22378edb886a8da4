#!/usr/bin/env python3
"""Checks the built VELMORIN.DLL from its headers: one export, VELMORIN, at
ordinal 1 with ordinal base 1; imports only from system DLLs; the entry point
is LibraryEntry.

usage: check_built_dll.py OBJDUMP VELMORIN.DLL LINK.map
"""
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "support"))
from script_checks import report  # noqa: E402

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "ole32.dll", "oleaut32.dll"}


def main():
    objdump, dll, link_map = sys.argv[1], sys.argv[2], sys.argv[3]
    headers = subprocess.run([objdump, "-p", dll], check=True, stdout=subprocess.PIPE, text=True).stdout
    failures = []

    exports = headers.split("[Ordinal/Name Pointer] Table")
    table = exports[1].split("\n\n")[0] if len(exports) > 1 else ""
    names = re.findall(r"\[\s*(\d+)\]\s+(\S+)", table)
    if names != [("0", "VELMORIN")]:
        failures.append(f"export names {names}, want exactly [0] VELMORIN")
    base = re.search(r"Ordinal Base\s+(\d+)", headers)
    if not base or base.group(1) != "1":
        failures.append(f"ordinal base {base.group(1) if base else None}, want 1")
    slots = re.findall(r"\[\s*\d+\] \+base\[\s*(\d+)\]", headers)
    if slots != ["1"]:
        failures.append(f"export address table ordinals {slots}, want exactly [1]")
    if not re.search(r"^Name\s+[0-9a-fA-F]+\s+VELMORIN\.DLL$", headers, re.M):
        failures.append("export directory does not name VELMORIN.DLL")

    imports = {m.lower() for m in re.findall(r"DLL Name:\s+(\S+)", headers)}
    if not imports or not imports <= SYSTEM_DLLS:
        failures.append(f"imports {sorted(imports)}, want only {sorted(SYSTEM_DLLS)}")

    entry = re.search(r"AddressOfEntryPoint\s+([0-9a-fA-F]+)", headers)
    image_base = re.search(r"ImageBase\s+([0-9a-fA-F]+)", headers)
    entry_address = int(entry.group(1), 16) + int(image_base.group(1), 16)
    # The DLL is stripped; the linker's map file says where LibraryEntry lies.
    with open(link_map) as f:
        placed = re.search(r"^\s+0x0*([0-9a-f]+)\s+_?LibraryEntry(@12)?\s*$", f.read(), re.M)
    if not placed:
        failures.append("LibraryEntry is not in the link map")
    elif int(placed.group(1), 16) != entry_address:
        failures.append(f"entry point {entry_address:#x} is not LibraryEntry at {placed.group(1)}")

    return report(failures, f"{dll}: exports [1] VELMORIN, imports {sorted(imports)}, "
                            f"entry LibraryEntry at {entry_address:#x}")


if __name__ == "__main__":
    sys.exit(main())
