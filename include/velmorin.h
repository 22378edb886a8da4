/* velmorin: capitalises the first letter of every word of a byte string.
 * This header declares VELMORIN and the string allocator a caller makes and
 * releases its strings with; doc/CALLING.txt says the same at more length.
 *
 * A string is a counted 8-bit byte string from the process-wide string
 * allocator: a pointer to the first data byte, with the 32-bit byte count in
 * the four bytes before it and a zero byte after it. A null pointer is the
 * empty string.
 *
 * What a caller can rely on:
 * - VELMORIN reads the string that *text holds and returns a new string of
 *   the same length in which every byte a-z (0x61-0x7A) that starts a word
 *   is made A-Z. A word starts at the first byte and after every space byte
 *   0x20; no other byte starts one. No other byte changes: no character set,
 *   no locale. The walk stops at the first zero byte; the bytes after it are
 *   copied unchanged, so the result always has the argument's length.
 * - Empty argument (*text null, or a string of 0 bytes): the result is null
 *   and nothing is allocated.
 * - Non-empty argument: a new string (never the argument itself), or null
 *   when memory is exhausted. So a null result for a non-empty argument
 *   means "out of memory"; that is the only error there is, and nothing
 *   else reports it.
 * - VELMORIN never writes *text and never releases the argument: the caller
 *   owns the argument before and after the call, and owns the result from
 *   the moment it returns. Each is released once, with SysFreeString.
 * - It keeps no state between calls and may be called from several threads
 *   at once, each with its own argument.
 *
 * Undefined (do not): a text pointer that is null or unreadable; a cell that
 * holds a plain char * or a string from malloc/new instead of one from
 * SysAllocStringByteLen; releasing the result with free()/delete or any
 * allocator but SysFreeString; releasing a string twice or using it after.
 *
 * The allocator: on Windows SysAllocStringByteLen, SysStringByteLen and
 * SysFreeString of oleaut32 (<oleauto.h>, link oleaut32). On Linux the same
 * three names and types from the stand-in library libwinstandin.so.1, which
 * libvelmorin.so.1 itself uses (link -lwinstandin). Define
 * VELMORIN_NO_STRING_ALLOCATOR before including this header to get VELMORIN
 * alone, for a caller that declares the allocator itself. */
#ifndef VELMORIN_H
#define VELMORIN_H

/* The version of the library this header declares, as its CMake package and
 * pkg-config file give it. A caller may test it with the preprocessor; the
 * library itself exports nothing else to ask. */
#define VELMORIN_VERSION_MAJOR 1
#define VELMORIN_VERSION_MINOR 0
#define VELMORIN_VERSION_PATCH 0

#if defined(_WIN32) && !defined(VELMORIN_NO_STRING_ALLOCATOR)
#include <windows.h>
#include <oleauto.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef unsigned char *VelmorinString;

/* 32-bit Windows: standard call, one 4-byte argument, the callee pops it.
 * Elsewhere the platform's one C convention. */
#if defined(_WIN32) && !defined(_WIN64)
#define VELMORIN_CALL __stdcall
#else
#define VELMORIN_CALL
#endif

#if defined(_WIN32) && !defined(VELMORIN_BUILDING)
#define VELMORIN_IMPORT __declspec(dllimport)
#elif defined(__GNUC__)
#define VELMORIN_IMPORT __attribute__((visibility("default")))
#else
#define VELMORIN_IMPORT
#endif

VELMORIN_IMPORT VelmorinString VELMORIN_CALL VELMORIN(const VelmorinString *text);

#if !defined(_WIN32) && !defined(VELMORIN_NO_STRING_ALLOCATOR)
/* The stand-in's string allocator, with oleaut32's names and types. */
#ifdef __cplusplus
typedef char16_t OLECHAR;
#else
typedef unsigned short OLECHAR;
#endif
typedef OLECHAR *BSTR;
typedef unsigned int UINT;
typedef const char *LPCSTR;

/* A new string of length bytes, copied from source (or left undefined when
 * source is null); null when memory is exhausted. */
BSTR SysAllocStringByteLen(LPCSTR source, UINT length);
/* The byte count of a string; 0 for null. */
UINT SysStringByteLen(BSTR string);
/* Releases a string; null is ignored. */
void SysFreeString(BSTR string);
#endif

#ifdef __cplusplus
}
#endif

#endif
