/* The strings on Windows: oleaut32's allocator, shared by every module of the
 * process, so that a string VELMORIN.DLL makes is released here. */
#include <windows.h>
#include <oleauto.h>

#include "byte_strings.h"

VelmorinString NewString(const char *bytes, unsigned length) {
    return length == 0 ? 0 : (VelmorinString)SysAllocStringByteLen(bytes, length);
}

void FreeString(VelmorinString string) {
    SysFreeString((BSTR)string);
}
