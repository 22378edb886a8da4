#!/usr/bin/env python3
"""Loads the built libvelmorin.so the way a Python user would, with ctypes,
and calls VELMORIN with strings made by the stand-in's allocator.

usage: ctypes_test.py libwinstandin.so libvelmorin.so
"""
import ctypes
import sys


def main():
    standin = ctypes.CDLL(sys.argv[1], mode=ctypes.RTLD_GLOBAL)
    library = ctypes.CDLL(sys.argv[2])
    standin.SysAllocStringByteLen.restype = ctypes.c_void_p
    standin.SysAllocStringByteLen.argtypes = [ctypes.c_char_p, ctypes.c_uint32]
    standin.SysFreeString.argtypes = [ctypes.c_void_p]
    library.VELMORIN.restype = ctypes.c_void_p
    library.VELMORIN.argtypes = [ctypes.POINTER(ctypes.c_void_p)]

    def capitalise(data):
        cell = ctypes.c_void_p(standin.SysAllocStringByteLen(data, len(data)) if data else None)
        before = cell.value
        result = library.VELMORIN(ctypes.byref(cell))
        assert cell.value == before, "VELMORIN wrote the argument cell"
        if result is None:
            out = b""
        else:
            count = ctypes.c_uint32.from_address(result - 4).value
            out = ctypes.string_at(result, count)
            assert ctypes.c_ubyte.from_address(result + count).value == 0, "no zero byte after the data"
            assert result != before, "the result must be a new string"
        if before:
            assert ctypes.string_at(before, len(data)) == data, "VELMORIN changed the argument"
            standin.SysFreeString(before)
        standin.SysFreeString(result)
        return out

    cases = [
        (b"dit is een zin.", b"Dit Is Een Zin."),
        (b"", b""),
        (b"  twee  spaties", b"  Twee  Spaties"),
        (b"\xe9a b", b"\xe9a B"),
        (b"a\x00b c", b"A\x00b c"),
    ]
    failures = 0
    for given, wanted in cases:
        got = capitalise(given)
        if got != wanted:
            failures += 1
            print(f"FAIL: VELMORIN({given!r}) = {got!r}, want {wanted!r}")
    exported = [name for name in ("LibraryEntry", "AssignString", "EmptyData") if hasattr(library, name)]
    if exported:
        failures += 1
        print(f"FAIL: the library exports more than VELMORIN: {exported}")
    print(f"{len(cases) + 1 - failures} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
