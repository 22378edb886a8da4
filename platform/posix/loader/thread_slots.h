// How many thread-local storage indexes the process may have, for the
// stand-in's test interface.
#pragma once

#include "platform/posix/win32/win32_types.h"

namespace standin {

// Lets TlsAlloc hand out at most count indexes from now on (at most as many
// as Windows offers a process), down to none.
void LimitThreadSlots(DWORD count);

}  // namespace standin
