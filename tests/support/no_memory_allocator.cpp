// The allocation seam of a test build of the program in which no string
// memory can ever be had.
#include "platform/windows.h"
#include "runtime/allocator.h"

StringHandle AllocateStringMemory(std::uint32_t) {
    return nullptr;
}

void ReleaseStringMemory(StringHandle handle) {
    SysFreeString(reinterpret_cast<BSTR>(handle));
}
