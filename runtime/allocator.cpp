// String memory from the platform's process-wide string allocator, so that a
// handle made in one module can be released in another.
#include "runtime/allocator.h"

#include "platform/windows.h"

StringHandle AllocateStringMemory(std::uint32_t count) {
    return reinterpret_cast<StringHandle>(SysAllocStringByteLen(nullptr, count));
}

void ReleaseStringMemory(StringHandle handle) {
    SysFreeString(reinterpret_cast<BSTR>(handle));
}
