/* velmorin: capitalises the first letter of every word of a byte string.
 *
 * A string is a counted 8-bit byte string from the process-wide string
 * allocator (SysAllocStringByteLen on Windows): a pointer to the first data
 * byte, with the 32-bit byte count in the four bytes before it and a zero
 * byte after it. A null pointer is the empty string.
 *
 * VELMORIN reads the string that *text holds and returns a new string of the
 * same length in which every a-z that starts a word (at the start, or after a
 * space byte 0x20) is upper case. It never writes *text and never releases
 * it; the caller owns the result and releases it with SysFreeString. A null
 * text, or exhausted memory, gives the empty string. */
#ifndef VELMORIN_H
#define VELMORIN_H

#ifdef __cplusplus
extern "C" {
#endif

typedef unsigned char *VelmorinString;

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

#ifdef __cplusplus
}
#endif

#endif
