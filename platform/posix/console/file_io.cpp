// Byte reads and writes through handles. Of the handles the stand-in hands
// out, only the null device is a byte stream: it takes every write and gives
// end of file to every read. The console's handles carry records and cells.
#include "platform/posix/console/console_core.h"
#include "platform/posix/win32/win32_api.h"

using namespace standin;

namespace {

// Null with the last error set when the handle is not a byte stream here.
HandleEntry *ByteStream(LockedConsole &c, HANDLE handle) {
    HandleEntry *entry = FindHandle(c.console, handle);
    if (entry == nullptr) {
        Fail(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (entry->kind != HandleKind::Null) {
        Fail(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    return entry;
}

}  // namespace

STANDIN_API BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD length, LPDWORD read, LPOVERLAPPED) {
    LockedConsole c;
    if (DWORD error = CheckCallerArray(file, buffer, length > 0, read)) return Fail(error);
    if (ByteStream(c, file) == nullptr) return FALSE;
    *read = 0;
    return TRUE;
}

STANDIN_API BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD length, LPDWORD written, LPOVERLAPPED) {
    LockedConsole c;
    if (DWORD error = CheckCallerArray(file, buffer, length > 0, written)) return Fail(error);
    if (ByteStream(c, file) == nullptr) return FALSE;
    *written = length;
    return TRUE;
}
