#!/usr/bin/env python3
"""Checks the built VELMORIN.DLL, demo.exe and velmorin.exe as a Windows release engineer
reads them: exports, imports and entry points; the loader's safety flags;
relocations; unwind data on x86-64; no writable code; read-only imports and
resources; the system and image versions; the version resource and the
program's manifest; Control Flow Guard and the load configuration; CET
shadow-stack compatibility on x86-64; stack protection against the load
configuration's cookie; a time stamp that is a hash of the image; stripped
files tied to their PDB files.

usage: check_built_binaries.py OBJDUMP PDBUTIL VERSION FILE...
       Each FILE (a .DLL or .exe) has its PDB file beside it (VELMORIN.pdb).
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
from pe_image import (DEBUG_REPRO, MACHINE_AMD64, SECTION_EXECUTE, SECTION_WRITE, PeImage,  # noqa: E402
                      version_info)
from script_checks import report  # noqa: E402

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "ole32.dll", "oleaut32.dll"}
COPYRIGHT = "Copyright (c) 2026 The velmorin developers"
HIGH_ENTROPY_VA, DYNAMIC_BASE, NX_COMPAT, NO_SEH, GUARD_CF, TERMINAL_SERVER_AWARE = 0x20, 0x40, 0x100, 0x400, 0x4000, 0x8000
CF_INSTRUMENTED, CF_FUNCTION_TABLE_PRESENT = 0x100, 0x400
CET_COMPAT = 0x1
# The value a security cookie holds until the loader seeds it.
DEFAULT_COOKIE = {False: 0xBB40E64E, True: 0x00002B992DDFA232}
RELOCS_STRIPPED = 0x1
SUBSYSTEM_GUI, SUBSYSTEM_CONSOLE = 2, 3
RT_VERSION, RT_MANIFEST = 16, 24
# Windows 7, 8, 8.1, and 10 with 11.
SUPPORTED_OS = {"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
                "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}


def run(*command):
    return subprocess.run(command, check=True, stdout=subprocess.PIPE, text=True).stdout


def pdb_symbols(pdbutil, pdb, image):
    """From the PDB: {address: name} of every compiled function, and
    {name: address} of every public symbol."""
    functions = {}
    # A name may hold backquotes itself: `anonymous namespace'::Run.
    pattern = r"S_[GL]PROC32 \[size = \d+\] `(.+?)`\s+parent = \d+, end = \d+, addr = (\d+):(\d+)"
    for m in re.finditer(pattern, run(pdbutil, "dump", "--symbols", pdb)):
        functions[image.sections[int(m.group(2)) - 1].rva + int(m.group(3))] = m.group(1)
    publics = {}
    for m in re.finditer(r"S_PUB32 \[size = \d+\] `([^`]+)`\s+flags = [^,]+, addr = (\d+):(\d+)",
                         run(pdbutil, "dump", "--publics", pdb)):
        publics[m.group(1)] = image.sections[int(m.group(2)) - 1].rva + int(m.group(3))
    return functions, publics


def pdb_id(pdbutil, pdb):
    """(GUID, age) the PDB says it is."""
    summary = run(pdbutil, "dump", "--summary", pdb)
    guid = re.search(r"GUID: \{([0-9A-F-]+)\}", summary)
    age = re.search(r"Age: (\d+)", summary)
    return (guid.group(1), int(age.group(1))) if guid and age else None


def guard_uses(objdump, path, functions, fail, guard_addresses):
    """(functions that call the guard's failure routine, functions that read
    the guard, functions with a frame: that push, call or move the stack
    pointer), from the disassembly of the stripped file."""
    base = int(re.search(r"ImageBase\s+([0-9a-fA-F]+)", run(objdump, "-p", path)).group(1), 16)
    starts = sorted(functions)
    callers, readers, framed = set(), set(), set()
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
        if re.search(r"\t(push|call|enter)\b|\t(sub|add|and|lea)\S*\s.*,%[re]sp$", line):
            framed.add(owner)
    return sorted(callers), sorted(readers), framed


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


def properties(objdump, pdbutil, path):
    """Everything checked, as values: for the checks and for --table."""
    image = PeImage(path)
    library = image.characteristics & 0x2000 != 0
    # The PDB the CodeView record names, looked for beside the binary.
    named = [name for _, _, name in image.codeview_records()]
    pdb = os.path.join(os.path.dirname(path), named[0] if len(named) == 1 else "")
    dump = run(objdump, "-p", path)
    p = {"file": os.path.basename(path), "size": len(image.data), "library": library,
         "x64": image.machine == MACHINE_AMD64, "flags": image.dll_characteristics,
         "subsystem": image.subsystem,
         "os version": f"{image.os_version_major}.{image.os_version_minor}",
         "subsystem version": f"{image.subsystem_version_major}.{image.subsystem_version_minor}",
         "image version": f"{image.image_version_major}.{image.image_version_minor}",
         "relocations": image.directories["relocation"][1] > 0 and not image.characteristics & RELOCS_STRIPPED,
         "writable code": [s.name for s in image.sections if s.flags & SECTION_WRITE and s.flags & SECTION_EXECUTE],
         "checksum ok": image.checksum == image.computed_checksum(),
         "timestamp": image.timestamp,
         "timestamp is a hash": any(kind == DEBUG_REPRO for kind, _, _ in image.debug_entries()),
         "writable imports or resources": [
             name for name in ("import", "resource")
             if image.directories[name][1] and image.section_at(image.directories[name][0]).flags & SECTION_WRITE],
         "cet compatible": bool(image.extended_dll_characteristics() & CET_COMPAT),
         "symbols left": image.symbol_count,
         "debug sections left": [s.name for s in image.sections if s.name.startswith(".debug")],
         "build ids": image.codeview_ids(), "pdb names": [name for _, _, name in image.codeview_records()],
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

    # The load configuration: where the cookie lies and what it holds, and
    # Control Flow Guard's check routines, function table and flags.
    config = image.load_config()
    p["load config"] = config
    if config:
        cookie = config["SecurityCookie"]
        inside = image.image_base <= cookie < image.image_base + max(s.rva + s.virtual_size for s in image.sections)
        p["cookie rva"] = cookie - image.image_base if inside else None
        p["cookie default"] = inside and image.read_pointer(cookie) == DEFAULT_COOKIE[p["x64"]]
        p["guard routines"] = [config[f] for f in ("GuardCFCheckFunctionPointer", "GuardCFDispatchFunctionPointer")]
        p["guard routine slots writable"] = [
            hex(va) for va in p["guard routines"]
            if va and image.section_at(va - image.image_base).flags & SECTION_WRITE]

    # From the PDB: which functions exist, where the entry point and the
    # guard's routines are.
    p["pdb file"] = os.path.isfile(pdb)
    if p["pdb file"]:
        guid_age = pdb_id(pdbutil, pdb)
        p["pdb build ids"] = [f"{guid_age[0]}/{guid_age[1]}"] if guid_age else []
        functions, symbols = pdb_symbols(pdbutil, pdb, image)
        prefix = "" if p["x64"] else "_"
        p["entry name"] = functions.get(image.entry_rva)
        uncovered = {name for address, name in functions.items()
                     if not any(b <= address < e for b, e, _ in runtime_functions)}
        fail = symbols.get(prefix + "__stack_chk_fail")
        p["guard routine"] = fail is not None
        # The guard read directly (i686) or through its pointer (x86-64).
        guard = {symbols[n] for n in (prefix + "__stack_chk_guard", ".refptr.__stack_chk_guard") if n in symbols}
        p["guard is the cookie"] = p.get("cookie rva") is not None and \
            symbols.get(prefix + "__stack_chk_guard") == p["cookie rva"]
        p["protected functions"], p["guard readers"], framed = guard_uses(objdump, path, functions, fail, guard)
        # A function that keeps no frame (no push, call or stack pointer
        # move) needs no unwind entry: its return address is at the stack
        # pointer, where a stack walk looks for it.
        p["uncovered functions"] = sorted(uncovered & framed)
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
    for field, want_version in (("os version", "6.0"), ("subsystem version", "6.0"), ("image version", "1.0")):
        if p[field] != want_version:
            failures.append(f"{field} {p[field]}, want {want_version}")
    if not p["relocations"]:
        failures.append("no base relocations")
    if p["writable code"]:
        failures.append(f"sections both writable and executable: {p['writable code']}")
    if not p["checksum ok"]:
        failures.append("header checksum is wrong")
    if p["timestamp"] == 0 or not p["timestamp is a hash"]:
        failures.append(f"time stamp {p['timestamp']}, want a hash of the image (and its repro debug entry)")
    if p["writable imports or resources"]:
        failures.append(f"writable sections hold the {p['writable imports or resources']} directories")
    if p["x64"] and not p["cet compatible"]:
        failures.append("not marked compatible with CET shadow stacks")
    failures.extend(guard_failures(p))

    allowed = SYSTEM_DLLS | ({"velmorin.dll"} if not p["library"] else set())
    if not p["imports"] or not set(p["imports"]) <= allowed:
        failures.append(f"imports {p['imports']}, want only {sorted(allowed)}")

    # The system reads no environment: a switch that does belongs to
    # benchmark and test builds only.
    if p["environment reads"]:
        failures.append(f"reads the environment: {p['environment reads']}")
    if p["x64"] and p["unwind entries"] == 0:
        failures.append("no exception directory (.pdata): stack walks cannot pass through")
    if p["x64"] and p["pdb file"] and p["uncovered functions"]:
        failures.append(f"functions with a frame but without unwind data: {p['uncovered functions']}")

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
    names = p["pdb names"]
    if len(names) != 1 or not names[0].endswith(".pdb") or "/" in names[0] or "\\" in names[0]:
        failures.append(f"the CodeView record names {names}, want one PDB by file name alone")
    if not p["pdb file"]:
        failures.append(f"no PDB file {names} beside the binary")
        return failures
    if p["pdb build ids"] != p["build ids"]:
        failures.append(f"the PDB's id {p['pdb build ids']} differs from the binary's {p['build ids']}")
    if not p["guard is the cookie"]:
        failures.append("the stack guard the frames check is not the load configuration's security cookie")

    entry = "LibraryEntry" if p["library"] else "ProgramEntry"
    if p["entry name"] not in (entry, f"{entry_prefix}{entry}@12", f"{entry_prefix}{entry}@0"):
        failures.append(f"entry point is {p['entry name']}, want {entry}")
    if not p["guard routine"] or not p["protected functions"]:
        failures.append("no frame checks the stack guard")
    if any(entry in name for name in p["guard readers"]):
        failures.append("the entry point reads the stack guard, which it runs before seeding")
    return failures


def guard_failures(p):
    """Control Flow Guard and the load configuration, as BinSkim reads them."""
    config = p["load config"]
    if not config:
        return ["no load configuration directory"]
    failures = []
    if not p["flags"] & GUARD_CF:
        failures.append("DllCharacteristics lack GUARD_CF")
    want = CF_INSTRUMENTED | CF_FUNCTION_TABLE_PRESENT
    if config["GuardFlags"] & want != want:
        failures.append(f"guard flags {config['GuardFlags']:#x} lack {want & ~config['GuardFlags']:#x}")
    if not config["GuardCFFunctionTable"] or not config["GuardCFFunctionCount"]:
        failures.append("no Control Flow Guard function table")
    check, dispatch = p["guard routines"]
    if not check or (p["x64"] and not dispatch):
        failures.append(f"guard check routine pointers {p['guard routines']}, want check (and on x86-64 dispatch)")
    if p["guard routine slots writable"]:
        failures.append(f"guard routine pointers in writable sections: {p['guard routine slots writable']}")
    if p["cookie rva"] is None:
        failures.append(f"security cookie {config['SecurityCookie']:#x} lies outside the image")
    elif not p["cookie default"]:
        failures.append("the security cookie does not hold its default value, so the loader would not seed it")
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
    keys = ["size", "flags", "subsystem", "os version", "subsystem version", "image version", "relocations",
            "writable code", "writable imports or resources", "timestamp", "timestamp is a hash", "unwind entries",
            "version", "manifest", "build ids", "pdb names", "load config", "guard flags", "guard functions",
            "cookie default", "guard is the cookie", "cet compatible", "protected functions"]
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
            elif key in ("writable imports or resources", "pdb names"):
                value = ",".join(value) or "none"
            elif key == "timestamp":
                value = f"{value:#010x}"
            elif key == "load config":
                value = f"{value['Size']:#x} bytes" if value else "none"
            elif key == "guard flags":
                value = f"{p['load config']['GuardFlags']:#x}" if p["load config"] else "n/a"
            elif key == "guard functions":
                value = p["load config"]["GuardCFFunctionCount"] if p["load config"] else "n/a"
            cells.append(str(value))
        print(f"{key} | " + " | ".join(cells))


def main():
    args = sys.argv[1:]
    show = "--table" in args
    args = [a for a in args if a != "--table"]
    objdump, pdbutil, version, files = args[0], args[1], args[2], args[3:]
    rows = [properties(objdump, pdbutil, path) for path in files]
    if show:
        table(rows)
        return 0
    failures = []
    # One folder of Windows holds the binaries and their PDB files, and its
    # names ignore case.
    pdbs = [name.lower() for p in rows for name in p["pdb names"]]
    failures += [f"two binaries name the PDB {name}" for name in sorted(set(pdbs)) if pdbs.count(name) > 1]
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
