#!/usr/bin/env python3
"""A crash from the field, symbolised, under Wine: the release archive and
the symbols archive are made with cpack and unpacked one over the other; a
host loads VELMORIN.DLL from there and makes it fault; the minidump it
writes is read by a second program, whose dbghelp, pointed at the unpacked
folder, must name VELMORIN and its source file and line. The faulting
address is also looked up in the PDB with llvm-symbolizer, which must agree.

PLATFORM-LIMIT(win32): Wine 8's 32-bit MiniDumpWriteDump faults in
ucrtbase (a write past the end of a buffer) and writes an empty file. With
--no-32bit-dump, a host that dies writing its dump is accepted when it
reports the fault inside VELMORIN.DLL: the reader's dbghelp then names the
reported offset in the unpacked module and PDB, without a dump.

usage: crash_dump_test.py [--no-32bit-dump] EMULATOR CPACK BUILD crash_host.exe dump_reader.exe
                          LLVM_SYMBOLIZER NAME
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from script_checks import check, run_tests  # noqa: E402

NO_DUMP = "--no-32bit-dump" in sys.argv
EMULATOR, CPACK, BUILD, HOST, READER, SYMBOLIZER, NAME = [a for a in sys.argv[1:] if a != "--no-32bit-dump"]
WORK = tempfile.mkdtemp(prefix="velmorin-crash-", dir=os.path.join(BUILD, "tests"))
BIN = os.path.join(WORK, NAME, "bin")
# What the crash must be named as: the function and the file it is in.
FUNCTION, SOURCE = "VELMORIN", "velmorin.cpp"


def windows_path(path):
    return subprocess.run(["winepath", "-w", path], check=True, stdout=subprocess.PIPE, text=True).stdout.strip()


def unpack_release():
    package = os.path.join(WORK, "package")
    subprocess.run([CPACK, "-G", "ZIP", "--config", os.path.join(BUILD, "CPackConfig.cmake"), "-B", package],
                   check=True, stdout=subprocess.DEVNULL, cwd=BUILD)
    for archive in (f"{NAME}.zip", f"{NAME}-symbols.zip"):
        with zipfile.ZipFile(os.path.join(package, archive)) as z:
            z.extractall(WORK)


def findings(output):
    return dict(re.findall(r"^(\w+)=(.*?)\r?$", output, re.M))


def test_crash_is_named_by_function_file_and_line():
    unpack_release()
    check(os.path.isfile(os.path.join(BIN, "VELMORIN.pdb")), "VELMORIN.pdb is not beside VELMORIN.DLL when unpacked")
    dump = os.path.join(WORK, "crash.dmp")
    host = subprocess.run([EMULATOR, HOST, windows_path(os.path.join(BIN, "VELMORIN.DLL")), windows_path(dump)],
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, timeout=600)
    print(f"host: exit {host.returncode}, {host.stdout.strip()!r}")
    reported = findings(host.stdout)
    if NO_DUMP and host.returncode != 3 and "offset" in reported:
        print("no dump: Wine's 32-bit MiniDumpWriteDump fails; naming the reported offset instead")
        reader = subprocess.run([EMULATOR, READER, "--address", "VELMORIN.DLL", reported["offset"], windows_path(BIN)],
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, timeout=600)
        print(f"dump_reader --address (dbghelp): exit {reader.returncode}\n{reader.stdout.strip()}")
        found = dict(findings(reader.stdout), code="c0000005", module="VELMORIN.DLL", offset=reported["offset"])
        return check_names(found)
    written = host.returncode == 3 and os.path.isfile(dump) and os.path.getsize(dump) > 0
    check(written, "the host did not write a dump of the fault")
    if not written:
        return
    reader = subprocess.run([EMULATOR, READER, windows_path(dump), windows_path(BIN)],
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, timeout=600)
    print(f"dump_reader (dbghelp): exit {reader.returncode}\n{reader.stdout.strip()}")
    found = findings(reader.stdout)
    check(found.get("offset") == reported.get("offset"),
          f"the dump's fault offset {found.get('offset')} differs from the host's {reported.get('offset')}")
    check_names(found)


def check_names(found):
    check(found.get("code", "").lower() == "c0000005", f"exception {found.get('code')}, want an access violation")
    check(found.get("module", "").upper() == "VELMORIN.DLL", f"fault in {found.get('module')}, want VELMORIN.DLL")
    check(found.get("function") == FUNCTION, f"dbghelp names {found.get('function')}, want {FUNCTION}")
    check(found.get("file", "").replace("\\", "/").endswith("/" + SOURCE),
          f"dbghelp names the file {found.get('file')}, want .../{SOURCE}")
    check(found.get("line", "0").isdigit() and int(found.get("line", "0")) > 0, "dbghelp gives no line")

    # The same address looked up in the PDB by LLVM's reader.
    if "offset" in found:
        symbolized = subprocess.run([SYMBOLIZER, "--obj", os.path.join(BIN, "VELMORIN.DLL"), "--relative-address",
                                     "0x" + found["offset"]], stdout=subprocess.PIPE, text=True, timeout=120)
        print(f"llvm-symbolizer: {symbolized.stdout.strip()!r}")
        lines = symbolized.stdout.split("\n")
        check(lines[0].strip() == FUNCTION, f"llvm-symbolizer names {lines[0]!r}, want {FUNCTION}")
        at = re.search(r"[/\\]" + re.escape(SOURCE) + r":(\d+)", symbolized.stdout)
        check(at is not None and at.group(1) == found.get("line"),
              f"llvm-symbolizer's line {at.group(1) if at else None} differs from dbghelp's {found.get('line')}")


if __name__ == "__main__":
    try:
        sys.exit(run_tests([test_crash_is_named_by_function_file_and_line]))
    finally:
        shutil.rmtree(WORK, ignore_errors=True)
