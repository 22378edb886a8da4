/* Making and releasing the counted byte strings VELMORIN works on, with the
 * process-wide string allocator that the library itself uses. */
#ifndef BYTE_STRINGS_H
#define BYTE_STRINGS_H

#include <velmorin.h>

/* A new string holding a copy of the length bytes at bytes; null when memory
 * is exhausted (or for length 0, which is the empty string). */
VelmorinString NewString(const char *bytes, unsigned length);
void FreeString(VelmorinString string);

#endif
