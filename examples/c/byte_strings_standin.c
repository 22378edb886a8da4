/* The strings on Linux: the same two calls, from the stand-in library
 * libwinstandin that velmorin::velmorin (or pkg-config's -lwinstandin) links. */
#include "byte_strings.h"

void *SysAllocStringByteLen(const char *source, unsigned length);
void SysFreeString(void *string);

VelmorinString NewString(const char *bytes, unsigned length) {
    return length == 0 ? 0 : (VelmorinString)SysAllocStringByteLen(bytes, length);
}

void FreeString(VelmorinString string) {
    SysFreeString(string);
}
