// The calling thread's last-error code.
#include "platform/posix/win32_api.h"

namespace {
thread_local DWORD lastError;
}

STANDIN_API DWORD GetLastError(void) { return lastError; }
STANDIN_API void SetLastError(DWORD error) { lastError = error; }
