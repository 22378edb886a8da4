// The console's handles: the standard handles, opening "CONIN$" and
// "CONOUT$", closing, console modes, and making and activating screen buffers.
#include <errno.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "platform/posix/console/console_core.h"
#include "platform/posix/win32/win32_api.h"

using namespace standin;

namespace {

constexpr DWORD kInputModeBits = 0x03FF;
constexpr DWORD kOutputModeBits = ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT |
                                  ENABLE_VIRTUAL_TERMINAL_PROCESSING | DISABLE_NEWLINE_AUTO_RETURN |
                                  ENABLE_LVB_GRID_WORLDWIDE;

bool Named(LPCSTR name, const char *device) { return strcasecmp(name, device) == 0; }

// Where the console keeps a standard handle; null for any other number.
HANDLE *StandardSlot(ConsoleCore &console, DWORD which) {
    switch (which) {
    case STD_INPUT_HANDLE: return &console.standard[0];
    case STD_OUTPUT_HANDLE: return &console.standard[1];
    case STD_ERROR_HANDLE: return &console.standard[2];
    default: return nullptr;
    }
}

// A missing file in a folder that is there, or a missing folder on the way.
DWORD MissingError(LPCSTR name) {
    const char *slash = std::strrchr(name, '/');
    if (slash == nullptr || slash == name) return ERROR_FILE_NOT_FOUND;
    std::string folder(name, static_cast<std::size_t>(slash - name));
    struct stat info {};
    return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

DWORD OpenError(LPCSTR name, int error) {
    switch (error) {
    case ENOENT: return MissingError(name);
    case ENOTDIR:
    case ENAMETOOLONG: return ERROR_PATH_NOT_FOUND;
    case EEXIST: return ERROR_FILE_EXISTS;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    default: return ERROR_ACCESS_DENIED;
    }
}

// A file by its path, with the access and the disposition Windows gives them.
// As there, a folder is not a file: opening one is refused. The descriptor
// never takes 0, 1 or 2, which stand for the standard streams even closed.
HANDLE OpenFile(ConsoleCore &console, LPCSTR name, DWORD access, DWORD disposition) {
    int flags = O_CLOEXEC | O_NOCTTY;
    bool reads = access & GENERIC_READ, writes = access & GENERIC_WRITE;
    flags |= reads && writes ? O_RDWR : writes ? O_WRONLY : O_RDONLY;
    switch (disposition) {
    case CREATE_NEW: flags |= O_CREAT | O_EXCL; break;
    case CREATE_ALWAYS: flags |= O_CREAT | O_TRUNC; break;
    case OPEN_ALWAYS: flags |= O_CREAT; break;
    default: break;
    }
    int fd = open(name, flags, 0666);
    if (fd < 0) return SetLastError(OpenError(name, errno)), INVALID_HANDLE_VALUE;
    struct stat info {};
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        close(fd);
        return SetLastError(ERROR_ACCESS_DENIED), INVALID_HANDLE_VALUE;
    }
    if (fd <= STDERR_FILENO) {
        int moved = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
        close(fd);
        if (moved < 0) return SetLastError(ERROR_TOO_MANY_OPEN_FILES), INVALID_HANDLE_VALUE;
        fd = moved;
    }
    return AddHandle(console, FileEntry(fd, access, true));
}

}  // namespace

STANDIN_API HANDLE GetStdHandle(DWORD which) {
    LockedConsole c;
    HANDLE *slot = StandardSlot(c.console, which);
    if (slot == nullptr) return SetLastError(ERROR_INVALID_HANDLE), INVALID_HANDLE_VALUE;
    return *slot;
}

// The handle is kept as given, open or not, as Windows keeps it.
STANDIN_API BOOL SetStdHandle(DWORD which, HANDLE handle) {
    LockedConsole c;
    HANDLE *slot = StandardSlot(c.console, which);
    if (slot == nullptr) return Fail(ERROR_INVALID_HANDLE);
    *slot = handle;
    return TRUE;
}

// The console devices, the null device, and files by their paths.
STANDIN_API HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD disposition, DWORD,
                               HANDLE) {
    if (name == nullptr) return SetLastError(ERROR_PATH_NOT_FOUND), INVALID_HANDLE_VALUE;
    if (disposition < CREATE_NEW || disposition >= TRUNCATE_EXISTING)
        return SetLastError(ERROR_INVALID_PARAMETER), INVALID_HANDLE_VALUE;
    LockedConsole c;
    bool input = Named(name, "CONIN$");
    bool output = Named(name, "CONOUT$");
    if (Named(name, "CON")) {
        // The plain device name picks its side by the access asked for.
        DWORD side = access & (GENERIC_READ | GENERIC_WRITE);
        input = side == GENERIC_READ;
        output = side == GENERIC_WRITE;
        if (!input && !output) return SetLastError(ERROR_INVALID_PARAMETER), INVALID_HANDLE_VALUE;
    }
    // A process without a controlling terminal has no console, as a Windows
    // process started without one.
    if ((input || output) && !c.console.terminal.console) return SetLastError(ERROR_INVALID_HANDLE), INVALID_HANDLE_VALUE;
    if (input) return AddHandle(c.console, HandleEntry{HandleKind::Input, access, nullptr});
    if (output) return AddHandle(c.console, HandleEntry{HandleKind::Screen, access, c.console.active});
    if (Named(name, "NUL")) return AddHandle(c.console, HandleEntry{HandleKind::Null, access, nullptr});
    if (*name == 0) return SetLastError(ERROR_PATH_NOT_FOUND), INVALID_HANDLE_VALUE;
    return OpenFile(c.console, name, access, disposition);
}

STANDIN_API BOOL CloseHandle(HANDLE handle) {
    LockedConsole c;
    if (!CloseConsoleHandle(c.console, handle)) return Fail(ERROR_INVALID_HANDLE);
    return TRUE;
}

STANDIN_API BOOL GetConsoleMode(HANDLE handle, LPDWORD mode) {
    LockedConsole c;
    HandleEntry *entry = FindHandle(c.console, handle);
    if (entry == nullptr || (entry->kind != HandleKind::Input && entry->kind != HandleKind::Screen))
        return Fail(ERROR_INVALID_HANDLE);
    if (mode == nullptr) return Fail(ERROR_NOACCESS);
    *mode = entry->kind == HandleKind::Input ? c.console.inputMode : entry->screen->mode;
    return TRUE;
}

STANDIN_API BOOL SetConsoleMode(HANDLE handle, DWORD mode) {
    LockedConsole c;
    HandleEntry *entry = FindHandle(c.console, handle);
    if (entry == nullptr || (entry->kind != HandleKind::Input && entry->kind != HandleKind::Screen))
        return Fail(ERROR_INVALID_HANDLE);
    if (entry->kind == HandleKind::Screen) {
        if (mode & ~kOutputModeBits) return Fail(ERROR_INVALID_PARAMETER);
        entry->screen->mode = mode;
        return TRUE;
    }
    // An input mode is taken even when it is then reported as wrong.
    bool processedBefore = c.console.inputMode & ENABLE_PROCESSED_INPUT;
    c.console.inputMode = mode;
    bool processed = mode & ENABLE_PROCESSED_INPUT;
    if (processed != processedBefore) SetSignalKeys(processed);
    bool echoWithoutLines = (mode & ENABLE_ECHO_INPUT) && !(mode & ENABLE_LINE_INPUT);
    if ((mode & ~kInputModeBits) || echoWithoutLines) return Fail(ERROR_INVALID_PARAMETER);
    return TRUE;
}

STANDIN_API HANDLE CreateConsoleScreenBuffer(DWORD access, DWORD, const SECURITY_ATTRIBUTES *, DWORD flags,
                                             LPVOID reserved) {
    if (flags != CONSOLE_TEXTMODE_BUFFER || reserved != nullptr)
        return SetLastError(ERROR_INVALID_PARAMETER), INVALID_HANDLE_VALUE;
    LockedConsole c;
    const ScreenBuffer &active = *c.console.active;
    auto buffer = std::make_shared<ScreenBuffer>();
    DWORD error = InitBuffer(*buffer, active.window.Right - active.window.Left + 1,
                             active.window.Bottom - active.window.Top + 1, active.attributes);
    if (error != ERROR_SUCCESS) return SetLastError(error), INVALID_HANDLE_VALUE;
    return AddHandle(c.console, HandleEntry{HandleKind::Screen, access, std::move(buffer)});
}

STANDIN_API BOOL SetConsoleActiveScreenBuffer(HANDLE output) {
    LockedConsole c;
    HandleEntry *entry = FindHandle(c.console, output);
    if (entry == nullptr || entry->kind != HandleKind::Screen || !(entry->access & GENERIC_WRITE))
        return Fail(ERROR_INVALID_HANDLE);
    Activate(c.console, entry->screen);
    return TRUE;
}
