#!/usr/bin/env python3
"""Loads the built libvelmorin.so the way a Python user would, with ctypes,
and calls VELMORIN with strings made by the stand-in's allocator, also from
Python's own threads.

usage: ctypes_test.py libwinstandin.so libvelmorin.so
"""
import ctypes
import sys
import threading
import time


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
    # Python's own threads, which the stand-in's program-side thread start
    # never sees: each gets error 7 (a string longer than any may be) and
    # with it a thread record, which must go when the thread ends.
    standin.StandinLiveGlobalBlocks.restype = ctypes.c_int64
    too_long = (ctypes.c_uint32 * 2)(0x80000000, 0)
    baseline = standin.StandinLiveGlobalBlocks()
    recorded = []

    def worker():
        cell = ctypes.c_void_p(ctypes.addressof(too_long) + 4)
        result = library.VELMORIN(ctypes.byref(cell))
        recorded.append(result is None and standin.StandinLiveGlobalBlocks() > baseline)

    for _ in range(10):
        threads = [threading.Thread(target=worker) for _ in range(20)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
    # join() returns once the thread's Python code is done; the thread itself
    # ends, and its records go, a moment later.
    deadline = time.monotonic() + 5
    while (left := standin.StandinLiveGlobalBlocks() - baseline) != 0 and time.monotonic() < deadline:
        time.sleep(0.01)
    if recorded.count(True) != 200 or left != 0:
        failures += 1
        print(f"FAIL: 200 Python threads: {recorded.count(True)} got a thread record, {left} records left")

    exported = [name for name in ("LibraryEntry", "AssignString", "EmptyData") if hasattr(library, name)]
    if exported:
        failures += 1
        print(f"FAIL: the library exports more than VELMORIN: {exported}")
    print(f"{len(cases) + 2 - failures} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
