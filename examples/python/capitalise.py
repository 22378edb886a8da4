#!/usr/bin/env python3
"""Prints each argument with the first letter of every word capitalised by
VELMORIN, called from Python with ctypes on Linux.

usage: capitalise.py [--library PATH/libvelmorin.so.1] TEXT...
"""
import argparse
import ctypes
import os
import sys


def load(library_path):
    velmorin = ctypes.CDLL(library_path)
    # libvelmorin loads the stand-in it links, whose allocator makes and
    # releases every string that crosses the library; by its soname, ctypes
    # gets the copy already loaded.
    standin = ctypes.CDLL("libwinstandin.so.1")
    standin.SysAllocStringByteLen.restype = ctypes.c_void_p
    standin.SysAllocStringByteLen.argtypes = [ctypes.c_char_p, ctypes.c_uint32]
    standin.SysFreeString.argtypes = [ctypes.c_void_p]
    velmorin.VELMORIN.restype = ctypes.c_void_p
    velmorin.VELMORIN.argtypes = [ctypes.POINTER(ctypes.c_void_p)]
    return velmorin, standin


def capitalise(velmorin, standin, data):
    """VELMORIN on bytes: the argument is a counted string in a cell, passed
    by reference; the result is a new string that the caller releases."""
    cell = ctypes.c_void_p(standin.SysAllocStringByteLen(data, len(data)) if data else None)
    if data and not cell.value:
        raise MemoryError("no memory for the argument")
    result = velmorin.VELMORIN(ctypes.byref(cell))
    standin.SysFreeString(cell.value)
    if data and not result:
        raise MemoryError("no memory for the result")
    if not result:
        return b""
    # The byte count is the 32-bit number just before the data.
    count = ctypes.c_uint32.from_address(result - 4).value
    text = ctypes.string_at(result, count)
    standin.SysFreeString(result)
    return text


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--library", default="libvelmorin.so.1",
                        help="the library's path; by default the system's search path finds it")
    parser.add_argument("text", nargs="*", default=["dit is een zin."])
    args = parser.parse_args()
    velmorin, standin = load(args.library)
    # The arguments' own bytes: VELMORIN knows no character set.
    for text in args.text:
        sys.stdout.buffer.write(capitalise(velmorin, standin, os.fsencode(text)) + b"\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
