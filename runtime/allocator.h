// The one seam through which string memory is taken and given back. The
// deliverables use the process-wide allocator; tests link a counting one that
// can be told to fail.
#pragma once

#include "runtime/string_handle.h"

// count is 1 to kMaxStringCount. Returns null when the memory cannot be had.
StringHandle AllocateStringMemory(std::uint32_t count);
void ReleaseStringMemory(StringHandle handle);
