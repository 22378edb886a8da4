// kernel32's services of the calling thread for the stand-in: its last-error
// value and Sleep.
#include <time.h>

#include <cerrno>

#include "platform/posix/win32/win32_api.h"

namespace {
thread_local DWORD lastError = ERROR_SUCCESS;
}

STANDIN_API DWORD GetLastError(void) { return lastError; }

STANDIN_API void SetLastError(DWORD error) { lastError = error; }

STANDIN_API void Sleep(DWORD milliseconds) {
    struct timespec rest {static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&rest, &rest) != 0 && errno == EINTR) {
    }
}
