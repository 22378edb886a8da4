#!/usr/bin/env python3
"""Checks the built VELMORIN.DLL, demo.exe and velmorin.exe as a Windows release engineer
reads them: exports, imports and entry points; the loader's safety flags;
relocations; unwind data on x86-64; no writable code; the system versions;
the version resource and the program's manifest; stack protection against
the deliverables' own guard; stripped files tied to their debug files.

usage: check_built_binaries.py OBJDUMP VERSION FILE...
       Each FILE (a .DLL or .exe) has its debug file beside it, as FILE.debug.
       --table prints the properties of each FILE instead of checking them.
"""
import os
import re
import subprocess
import sys
import xml.etree.ElementTree as ET

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "support"))
from pe_image import MACHINE_AMD64, SECTION_EXECUTE, SECTION_WRITE, PeImage, file_crc, version_info  # noqa: E402
from script_checks import report  # noqa: E402

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "ole32.dll", "oleaut32.dll"}
COPYRIGHT = "Copyright (c) 2026 The velmorin developers"
HIGH_ENTROPY_VA, DYNAMIC_BASE, NX_COMPAT, NO_SEH, TERMINAL_SERVER_AWARE = 0x20, 0x40, 0x100, 0x400, 0x8000
RELOCS_STRIPPED = 0x1
SUBSYSTEM_GUI, SUBSYSTEM_CONSOLE = 2, 3
RT_VERSION, RT_MANIFEST = 16, 24
# Windows 7, 8, 8.1, and 10 with 11.
SUPPORTED_OS = {"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
                "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}


def run(*command):
    return subprocess.run(command, check=True, stdout=subprocess.PIPE, text=True).stdout


def symbols_of(objdump, debug_file, image):
    """From the debug file's symbols: {address: name} of every function in
    the code (what the compiler marked a function, and global labels there
    besides the linker's import thunks, one jump each touching no stack, and
    the constructor lists), and {name: address} of every symbol."""
    symbols = []
    for line in run(objdump, "-t", debug_file).splitlines():
        m = re.match(r"\[\s*\d+\]\(sec\s+(\d+)\)\(fl 0x\w+\)\(ty\s+(\w+)\)\(scl\s+(\d+)\) \(nx \d\) "
                     r"0x(\w+) (\S+)", line)
        if m and 1 <= int(m.group(1)) <= len(image.sections):
            section = image.sections[int(m.group(1)) - 1]
            symbols.append((section, m.group(2), int(m.group(3)), section.rva + int(m.group(4), 16), m.group(5)))
    imported = {name.split("__imp_", 1)[1] for _, _, _, _, name in symbols if name.startswith("__imp_")}
    functions = {}
    for section, kind, storage, address, name in symbols:
        if not section.flags & SECTION_EXECUTE or name in imported or "TOR_LIST__" in name:
            continue
        if kind == "20" or (storage == 2 and not name.startswith(".")):
            functions[address] = name
    return functions, {name: address for _, _, _, address, name in symbols}


def guard_uses(objdump, path, functions, fail, guard_addresses):
    """(functions that call the guard's failure routine, functions that read
    the guard), from the disassembly of the stripped file."""
    base = int(re.search(r"ImageBase\s+([0-9a-fA-F]+)", run(objdump, "-p", path)).group(1), 16)
    starts = sorted(functions)
    callers, readers = set(), set()
    for line in run(objdump, "-d", path).splitlines():
        m = re.match(r"\s*([0-9a-f]+):\s", line)
        if not m:
            continue
        at = int(m.group(1), 16) - base
        owner = functions[max((s for s in starts if s <= at), default=starts[0])]
        addresses = {int(a, 16) - base for a in re.findall(r"0x([0-9a-f]+)", line.split("\t", 2)[-1])}
        if fail is not None and re.search(r"\bcall\b", line) and fail in addresses:
            callers.add(owner)
        if addresses & guard_addresses:
            readers.add(owner)
    return sorted(callers), sorted(readers)


def export_failures(objdump, path):
    """The export table as the system's callers need it: one name, VELMORIN,
    at ordinal 1 with ordinal base 1, in a directory that names VELMORIN.DLL."""
    headers = run(objdump, "-p", path)
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
    return failures


def properties(objdump, path):
    """Everything checked, as values: for the checks and for --table."""
    image = PeImage(path)
    library = image.characteristics & 0x2000 != 0
    debug_file = path + ".debug"
    dump = run(objdump, "-p", path)
    p = {"file": os.path.basename(path), "size": len(image.data), "library": library,
         "x64": image.machine == MACHINE_AMD64, "flags": image.dll_characteristics,
         "subsystem": image.subsystem,
         "os version": f"{image.os_version_major}.{image.os_version_minor}",
         "subsystem version": f"{image.subsystem_version_major}.{image.subsystem_version_minor}",
         "relocations": image.directories["relocation"][1] > 0 and not image.characteristics & RELOCS_STRIPPED,
         "writable code": [s.name for s in image.sections if s.flags & SECTION_WRITE and s.flags & SECTION_EXECUTE],
         "checksum ok": image.checksum == image.computed_checksum(),
         "timestamp": image.timestamp,
         "symbols left": image.symbol_count,
         "debug sections left": [s.name for s in image.sections if s.name.startswith(".debug")],
         "build ids": image.codeview_ids(), "debug link": image.debug_link(),
         "imports": sorted({m.lower() for m in re.findall(r"DLL Name:\s+(\S+)", dump)}),
         "environment reads": sorted(set(re.findall(r"\b(GetEnvironment\w*|getenv)\b", dump)))}
    runtime_functions = image.runtime_functions()
    p["unwind entries"] = len(runtime_functions)
    resources = image.resources()
    fixed, strings = None, {}
    for key, data in resources.items():
        if key[0] == RT_VERSION:
            fixed, strings = version_info(data)
    p["version"] = None if not fixed else (f"{fixed[2] >> 16}.{fixed[2] & 0xFFFF}.{fixed[3] >> 16}"
                                           f".{fixed[3] & 0xFFFF}")
    p["version strings"] = strings
    manifests = [data for key, data in resources.items() if key[:2] == (RT_MANIFEST, 1)]
    p["manifest"] = manifests[0] if manifests else None

    # From the debug file: which functions exist, where the entry point and
    # the guard's routines are.
    p["debug file"] = os.path.isfile(debug_file)
    if p["debug file"]:
        debug = PeImage(debug_file)
        p["debug file crc"] = file_crc(debug_file)
        p["debug build ids"] = debug.codeview_ids()
        functions, symbols = symbols_of(objdump, debug_file, debug)
        prefix = "" if p["x64"] else "_"
        p["entry name"] = functions.get(image.entry_rva)
        p["uncovered functions"] = sorted(name for address, name in functions.items()
                                          if not any(b <= address < e for b, e, _ in runtime_functions))
        fail = symbols.get(prefix + "__stack_chk_fail")
        p["guard routine"] = fail is not None
        # The guard read directly (i686) or through its pointer (x86-64).
        guard = {symbols[n] for n in (prefix + "__stack_chk_guard", ".refptr.__stack_chk_guard") if n in symbols}
        p["protected functions"], p["guard readers"] = guard_uses(objdump, path, functions, fail, guard)
    return p


def failures_of(p, version, entry_prefix):
    failures = []
    want = DYNAMIC_BASE | NX_COMPAT | (HIGH_ENTROPY_VA if p["x64"] else NO_SEH)
    if not p["library"]:
        want |= TERMINAL_SERVER_AWARE
    if p["flags"] & want != want:
        failures.append(f"DllCharacteristics {p['flags']:#06x} lack {want & ~p['flags']:#06x}")
    want_subsystem = SUBSYSTEM_GUI if p["library"] else SUBSYSTEM_CONSOLE
    if p["subsystem"] != want_subsystem:
        failures.append(f"subsystem {p['subsystem']}, want {want_subsystem}")
    for field in ("os version", "subsystem version"):
        if p[field] != "6.0":
            failures.append(f"{field} {p[field]}, want 6.0")
    if not p["relocations"]:
        failures.append("no base relocations")
    if p["writable code"]:
        failures.append(f"sections both writable and executable: {p['writable code']}")
    if not p["checksum ok"]:
        failures.append("header checksum is wrong")
    if p["timestamp"] != 0:
        failures.append(f"time stamp {p['timestamp']}: the file changes with the time of the build")

    allowed = SYSTEM_DLLS | ({"velmorin.dll"} if not p["library"] else set())
    if not p["imports"] or not set(p["imports"]) <= allowed:
        failures.append(f"imports {p['imports']}, want only {sorted(allowed)}")

    # The system reads no environment: a switch that does belongs to
    # benchmark and test builds only.
    if p["environment reads"]:
        failures.append(f"reads the environment: {p['environment reads']}")
    if p["x64"] and p["unwind entries"] == 0:
        failures.append("no exception directory (.pdata): stack walks cannot pass through")
    if p["x64"] and p["debug file"] and p["uncovered functions"]:
        failures.append(f"functions without unwind data: {p['uncovered functions']}")

    if p["version"] != f"{version}.0":
        failures.append(f"file version {p['version']}, want {version}.0")
    want_strings = {"ProductName": "velmorin", "FileVersion": version, "ProductVersion": version,
                    "OriginalFilename": p["file"], "LegalCopyright": COPYRIGHT}
    for name, value in want_strings.items():
        if p["version strings"].get(name) != value:
            failures.append(f"version string {name} is {p['version strings'].get(name)!r}, want {value!r}")
    if not p["version strings"].get("FileDescription"):
        failures.append("no FileDescription in the version resource")
    if p["library"] and p["manifest"] is not None:
        failures.append("the library carries a process manifest")
    if not p["library"]:
        failures.extend(manifest_failures(p["manifest"]))

    if p["symbols left"] or p["debug sections left"]:
        failures.append(f"not stripped: {p['symbols left']} symbols, sections {p['debug sections left']}")
    if len(p["build ids"]) != 1:
        failures.append(f"build ids {p['build ids']}, want one CodeView record")
    if not p["debug file"]:
        failures.append(f"no debug file {p['file']}.debug")
        return failures
    if p["debug link"] != (p["file"] + ".debug", p["debug file crc"]):
        failures.append(f"debug link {p['debug link']} does not name {p['file']}.debug with its CRC")
    if p["debug build ids"] != p["build ids"]:
        failures.append(f"the debug file's build ids {p['debug build ids']} differ from {p['build ids']}")

    entry = "LibraryEntry" if p["library"] else "ProgramEntry"
    if p["entry name"] not in (entry, f"{entry_prefix}{entry}@12", f"{entry_prefix}{entry}@0"):
        failures.append(f"entry point is {p['entry name']}, want {entry}")
    if not p["guard routine"] or not p["protected functions"]:
        failures.append("no frame checks the stack guard")
    if any(entry in name for name in p["guard readers"]):
        failures.append("the entry point reads the stack guard, which it runs before seeding")
    return failures


def manifest_failures(manifest):
    if manifest is None:
        return ["the program has no manifest (resource 1 of type 24)"]
    failures = []
    root = ET.fromstring(manifest)
    levels = [e.get("level") for e in root.iter() if e.tag.endswith("}requestedExecutionLevel")]
    if levels != ["asInvoker"]:
        failures.append(f"requested execution levels {levels}, want asInvoker")
    systems = {e.get("Id").lower() for e in root.iter() if e.tag.endswith("}supportedOS")}
    if systems != SUPPORTED_OS:
        failures.append(f"supportedOS {sorted(systems)}, want Windows 7 to 11: {sorted(SUPPORTED_OS)}")
    return failures


def table(rows):
    keys = ["size", "flags", "subsystem", "os version", "subsystem version", "relocations", "writable code",
            "unwind entries", "version", "manifest", "build ids", "debug link", "protected functions"]
    print("property | " + " | ".join(p["file"] for p in rows))
    for key in keys:
        cells = []
        for p in rows:
            value = p.get(key)
            if key == "flags":
                value = f"{value:#06x}"
            elif key == "manifest":
                value = "yes" if value else "no"
            elif key in ("build ids", "protected functions", "writable code"):
                value = len(value) if value is not None else "n/a"
            elif key == "debug link":
                value = value[0] if value else "none"
            cells.append(str(value))
        print(f"{key} | " + " | ".join(cells))


def main():
    args = sys.argv[1:]
    show = "--table" in args
    args = [a for a in args if a != "--table"]
    objdump, version, files = args[0], args[1], args[2:]
    rows = [properties(objdump, path) for path in files]
    if show:
        table(rows)
        return 0
    failures = []
    for path, p in zip(files, rows):
        prefix = "" if p["x64"] else "_"
        failures += [f"{p['file']}: {f}" for f in failures_of(p, version, prefix)]
        if p["library"]:
            failures += [f"{p['file']}: {f}" for f in export_failures(objdump, path)]
    return report(failures, ", ".join(f"{p['file']} ({p['size']} bytes, flags {p['flags']:#06x}, "
                                      f"{p['unwind entries']} unwind entries, "
                                      f"{len(p.get('protected functions', []))} protected functions)"
                                      for p in rows))


if __name__ == "__main__":
    sys.exit(main())
