"""velmorin: capitalises the first letter of every word of a byte string.

    >>> import velmorin
    >>> velmorin.capitalise(b"dit is een zin.")
    b'Dit Is Een Zin.'

The library lies beside this file: on Linux libvelmorin.so.1 with the
stand-in library libwinstandin.so.1 whose string allocator it uses, on
Windows VELMORIN.DLL (its strings come from the system's oleaut32).
"""
import ctypes
import os
import sys

__all__ = ["capitalise"]
__version__ = "1.0.0"

_HERE = os.path.dirname(os.path.abspath(__file__))


def _load():
    if sys.platform == "win32":
        # On 32-bit Windows both are standard-call, which WinDLL calls; on
        # 64-bit Windows there is one convention and WinDLL is CDLL.
        library = ctypes.WinDLL(os.path.join(_HERE, "VELMORIN.DLL"))
        allocator = ctypes.WinDLL("oleaut32")
    else:
        # The stand-in first, from here: libvelmorin.so.1 then binds to this
        # copy by its soname, whatever LD_LIBRARY_PATH says, so the library
        # and this module share one allocator.
        allocator = ctypes.CDLL(os.path.join(_HERE, "libwinstandin.so.1"))
        library = ctypes.CDLL(os.path.join(_HERE, "libvelmorin.so.1"))
    allocator.SysAllocStringByteLen.restype = ctypes.c_void_p
    allocator.SysAllocStringByteLen.argtypes = [ctypes.c_char_p, ctypes.c_uint]
    allocator.SysStringByteLen.restype = ctypes.c_uint
    allocator.SysStringByteLen.argtypes = [ctypes.c_void_p]
    allocator.SysFreeString.restype = None
    allocator.SysFreeString.argtypes = [ctypes.c_void_p]
    library.VELMORIN.restype = ctypes.c_void_p
    library.VELMORIN.argtypes = [ctypes.POINTER(ctypes.c_void_p)]
    return library, allocator


_library, _allocator = _load()
# The count is a 32-bit number, and the allocator needs room for it and a terminator.
_LONGEST = 0xFFFFFFFF - 6


def capitalise(data):
    """A copy of data (bytes, bytearray, memoryview or any other bytes-like
    object) in which every a-z that starts a word, at the start or after a
    space byte, is A-Z. Every other byte stays as it is; so do all bytes
    after the first zero byte. Returns bytes of the same length.

    Raises TypeError for anything not bytes-like (a str must be encoded
    first: the library knows no character set) and MemoryError when the
    string allocator has no memory for the argument or the result.
    """
    try:
        data = memoryview(data).tobytes()
    except TypeError:
        raise TypeError(f"capitalise() takes a bytes-like object, not {type(data).__name__!r}") from None
    if not data:
        return b""  # the empty string is the null pointer, and VELMORIN gives it back
    if len(data) > _LONGEST:
        raise MemoryError(f"{len(data)} bytes do not fit a counted string")
    cell = ctypes.c_void_p(_allocator.SysAllocStringByteLen(data, len(data)))
    if not cell.value:
        raise MemoryError("the string allocator has no memory for the argument")
    try:
        result = _library.VELMORIN(ctypes.byref(cell))
    finally:
        _allocator.SysFreeString(cell)
    # For a non-empty argument an empty result means exhausted memory.
    if not result:
        raise MemoryError("the string allocator had no memory for the result")
    try:
        return ctypes.string_at(result, _allocator.SysStringByteLen(result))
    finally:
        _allocator.SysFreeString(result)
