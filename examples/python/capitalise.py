#!/usr/bin/env python3
"""Prints each TEXT with the first letter of every word capitalised by
VELMORIN, one a line, calling the library with ctypes: on Linux
libvelmorin.so.1 (with the stand-in's string allocator, libwinstandin.so.1),
on Windows VELMORIN.DLL (with oleaut32's). Without --library it takes the
library of this source tree's build (build/linux/out, or build/win64/out or
build/win32/out for the Python's word size), else the system's search path.
"""
import argparse
import ctypes
import os
import sys

WINDOWS = sys.platform == "win32"
HERE = os.path.dirname(os.path.abspath(__file__))


def default_library():
    if WINDOWS:
        preset = "win64" if ctypes.sizeof(ctypes.c_void_p) == 8 else "win32"
        name = "VELMORIN.DLL"
    else:
        preset, name = "linux", "libvelmorin.so.1"
    built = os.path.join(HERE, "..", "..", "build", preset, "out", name)
    return os.path.normpath(built) if os.path.exists(built) else name


def load(library_path):
    if WINDOWS:
        # 32-bit: VELMORIN and oleaut32 are standard-call, which WinDLL
        # calls; on 64-bit Windows WinDLL and CDLL are the same.
        velmorin = ctypes.WinDLL(library_path)
        allocator = ctypes.WinDLL("oleaut32")
    else:
        velmorin = ctypes.CDLL(library_path)
        # libvelmorin loaded the stand-in it links; by its soname ctypes gets
        # that same copy, whose allocator VELMORIN's strings come from.
        allocator = ctypes.CDLL("libwinstandin.so.1")
    allocator.SysAllocStringByteLen.restype = ctypes.c_void_p
    allocator.SysAllocStringByteLen.argtypes = [ctypes.c_char_p, ctypes.c_uint]
    allocator.SysStringByteLen.restype = ctypes.c_uint
    allocator.SysStringByteLen.argtypes = [ctypes.c_void_p]
    allocator.SysFreeString.argtypes = [ctypes.c_void_p]
    velmorin.VELMORIN.restype = ctypes.c_void_p
    velmorin.VELMORIN.argtypes = [ctypes.POINTER(ctypes.c_void_p)]
    return velmorin, allocator


def capitalise(velmorin, allocator, data):
    """VELMORIN on bytes: the argument is a counted string in a cell, passed
    by reference; the result is a new string that the caller releases."""
    if not data:
        return b""  # the empty string is the null pointer; VELMORIN gives it back
    cell = ctypes.c_void_p(allocator.SysAllocStringByteLen(data, len(data)))
    if not cell.value:
        raise MemoryError("no memory for the argument")
    result = velmorin.VELMORIN(ctypes.byref(cell))
    allocator.SysFreeString(cell)
    if not result:
        raise MemoryError("no memory for the result")
    text = ctypes.string_at(result, allocator.SysStringByteLen(result))
    allocator.SysFreeString(result)
    return text


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--library", default=default_library(),
                        help="the library's path or file name (default: %(default)s)")
    parser.add_argument("text", nargs="*", default=["dit is een zin."], help='default: "dit is een zin."')
    args = parser.parse_args()
    try:
        velmorin, allocator = load(args.library)
    except OSError as error:
        parser.exit(1, f"capitalise.py: cannot load the library: {error}\n"
                       "Build it (bash scripts/demo.sh, or cmake --preset linux && cmake --build --preset linux)"
                       " or name it with --library.\n")
    for text in args.text:
        # The argument's own bytes: VELMORIN knows no character set.
        sys.stdout.buffer.write(capitalise(velmorin, allocator, os.fsencode(text)) + b"\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
