"""velmorin: capitalises the first letter of every word of a byte string.

    >>> import velmorin
    >>> velmorin.capitalise(b"dit is een zin.")
    b'Dit Is Een Zin.'

The library lies beside this file: on Linux libvelmorin.so.1 with the
stand-in library libwinstandin.so.1 whose string allocator it uses, on
Windows VELMORIN.DLL (its strings come from the system's oleaut32). Imported
from the source tree, where nothing lies beside it, it takes the library of
that tree's build instead.
"""
import ctypes
import os
import sys
from typing import Tuple, Union

__all__ = ["capitalise"]
__version__ = "1.0.0"

# What capitalise() takes: bytes, or any object with a buffer of bytes.
BytesLike = Union[bytes, bytearray, memoryview]

_HERE = os.path.dirname(os.path.abspath(__file__))
_WINDOWS = sys.platform == "win32"


def _library_folder() -> str:
    """Where the library lies: beside this file in an installed package, else
    in the build of the source tree this file belongs to."""
    name = "VELMORIN.DLL" if _WINDOWS else "libvelmorin.so.1"
    if _WINDOWS:
        preset = "win64" if ctypes.sizeof(ctypes.c_void_p) == 8 else "win32"
    else:
        preset = "linux"
    source = os.path.normpath(os.path.join(_HERE, "..", "..", "..", ".."))
    built = os.path.join(source, "build", preset, "out")
    for folder in (_HERE, built):
        if os.path.exists(os.path.join(folder, name)):
            return folder
    if os.path.exists(os.path.join(source, "CMakePresets.json")):
        raise ImportError(f"velmorin: no {name} beside {_HERE} nor in {built}: build it first, from {source}: "
                          f"cmake --preset {preset} && cmake --build --preset {preset}")
    raise ImportError(f"velmorin: no {name} beside {_HERE}: reinstall the velmorin wheel, which carries it")


def _load() -> Tuple[ctypes.CDLL, ctypes.CDLL]:
    folder = _library_folder()
    if _WINDOWS:
        # On 32-bit Windows both are standard-call, which WinDLL calls; on
        # 64-bit Windows there is one convention and WinDLL is CDLL.
        library = ctypes.WinDLL(os.path.join(folder, "VELMORIN.DLL"))
        allocator = ctypes.WinDLL("oleaut32")
    else:
        # The stand-in first, from the same folder: libvelmorin.so.1 then
        # binds to this copy by its soname, whatever LD_LIBRARY_PATH says, so
        # the library and this module share one allocator.
        allocator = ctypes.CDLL(os.path.join(folder, "libwinstandin.so.1"))
        library = ctypes.CDLL(os.path.join(folder, "libvelmorin.so.1"))
    allocator.SysAllocStringByteLen.restype = ctypes.c_void_p
    allocator.SysAllocStringByteLen.argtypes = [ctypes.c_void_p, ctypes.c_uint]
    allocator.SysStringByteLen.restype = ctypes.c_uint
    allocator.SysStringByteLen.argtypes = [ctypes.c_void_p]
    allocator.SysFreeString.restype = None
    allocator.SysFreeString.argtypes = [ctypes.c_void_p]
    library.VELMORIN.restype = ctypes.c_void_p
    library.VELMORIN.argtypes = [ctypes.POINTER(ctypes.c_void_p)]
    return library, allocator


_library, _allocator = _load()

# Long texts go to VELMORIN a piece at a time, so that what the call holds
# besides the text and its result (the argument, the library's working copy
# and its result) stays a few pieces, whatever the text's length.
_PIECE = 1 << 20

# A bytes object of a given length whose bytes are yet to be written, as a
# C caller of Python makes one; nothing else sees it before it is whole.
_new_bytes = ctypes.PYFUNCTYPE(ctypes.py_object, ctypes.c_void_p, ctypes.c_ssize_t)(
    ("PyBytes_FromStringAndSize", ctypes.pythonapi))


def _address(data: bytes) -> int:
    return ctypes.cast(ctypes.c_char_p(data), ctypes.c_void_p).value or 0


def _bytes_of(data: BytesLike) -> Tuple[object, int, int]:
    """What holds data's bytes while they are read, their address and their
    count. bytes and writable buffers in one piece are read where they lie;
    a read-only view or a buffer in pieces is gathered into bytes first."""
    if isinstance(data, bytes):
        return data, _address(data), len(data)
    try:
        view = memoryview(data)
    except TypeError:
        raise TypeError(f"capitalise() takes a bytes-like object, not {type(data).__name__!r}") from None
    if view.nbytes and not view.readonly and view.c_contiguous:
        keeper = (ctypes.c_char * view.nbytes).from_buffer(view)
        return keeper, ctypes.addressof(keeper), view.nbytes
    gathered = view.tobytes()
    return gathered, _address(gathered), len(gathered)


def _capitalised(address: int, length: int) -> int:
    """VELMORIN on the length bytes at address: its result, which the caller
    releases."""
    cell = ctypes.c_void_p(_allocator.SysAllocStringByteLen(address, length))
    if not cell.value:
        raise MemoryError("the string allocator has no memory for the argument")
    try:
        result = _library.VELMORIN(ctypes.byref(cell))
    finally:
        _allocator.SysFreeString(cell)
    # For a non-empty argument an empty result means exhausted memory.
    if not result:
        raise MemoryError("the string allocator had no memory for the result")
    return result


def capitalise(data: BytesLike) -> bytes:
    """A copy of data (bytes, bytearray, memoryview or any other bytes-like
    object) in which every a-z that starts a word, at the start or after a
    space byte, is A-Z. Every other byte stays as it is; so do all bytes
    after the first zero byte. Returns bytes of the same length.

    Raises TypeError for anything not bytes-like (a str must be encoded
    first: the library knows no character set) and MemoryError when the
    string allocator has no memory for the argument or the result.

    Besides data and the bytes returned, a call holds at most a few MiB (or
    a copy of data, for a read-only view that is not bytes or a buffer in
    pieces).
    """
    keeper, address, length = _bytes_of(data)
    if not length:
        return b""  # the empty string is the null pointer, and VELMORIN gives it back
    if length <= _PIECE:
        result = _capitalised(address, length)
        try:
            return ctypes.string_at(result, length)
        finally:
            _allocator.SysFreeString(result)
    out = _new_bytes(None, length)
    target = _address(out)
    start = 0
    while start < length:
        end = min(start + _PIECE, length)
        # The byte before a piece goes with it, so that the piece's first
        # byte starts a word only after a space, as in the whole text; that
        # byte's own result is left out.
        lead = 1 if start else 0
        result = _capitalised(address + start - lead, end - start + lead)
        try:
            ctypes.memmove(target + start, result + lead, end - start)
        finally:
            _allocator.SysFreeString(result)
        if out.find(b"\0", start, end) >= 0:
            # The walk stopped at this zero byte: the rest stays as it is.
            ctypes.memmove(target + end, address + end, length - end)
            break
        start = end
    del keeper  # data's bytes were read until here
    return out
