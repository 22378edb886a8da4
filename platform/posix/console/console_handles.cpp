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
    if (fd < 0) return FailHandle(OpenError(name, errno));
    struct stat info {};
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        close(fd);
        return FailHandle(ERROR_ACCESS_DENIED);
    }
    if (fd <= STDERR_FILENO) {
        int moved = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
        close(fd);
        if (moved < 0) return FailHandle(ERROR_TOO_MANY_OPEN_FILES);
        fd = moved;
    }
    return AddHandle(console, FileEntry(fd, access, true));
}

}  // namespace

STANDIN_API HANDLE GetStdHandle(DWORD which) {
    return OnConsole(INVALID_HANDLE_VALUE, [&](ConsoleCore &console) {
        HANDLE *slot = StandardSlot(console, which);
        return slot == nullptr ? FailHandle(ERROR_INVALID_HANDLE) : *slot;
    });
}

// The handle is kept as given, open or not, as Windows keeps it.
STANDIN_API BOOL SetStdHandle(DWORD which, HANDLE handle) {
    return OnConsole(FALSE, [&](ConsoleCore &console) {
        HANDLE *slot = StandardSlot(console, which);
        if (slot == nullptr) return Fail(ERROR_INVALID_HANDLE);
        *slot = handle;
        return TRUE;
    });
}

// The console devices, the null device, and files by their paths.
STANDIN_API HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD disposition, DWORD,
                               HANDLE) {
    if (name == nullptr) return FailHandle(ERROR_PATH_NOT_FOUND);
    if (disposition < CREATE_NEW || disposition >= TRUNCATE_EXISTING) return FailHandle(ERROR_INVALID_PARAMETER);
    return OnConsole(INVALID_HANDLE_VALUE, [&](ConsoleCore &console) {
        bool input = Named(name, "CONIN$");
        bool output = Named(name, "CONOUT$");
        if (Named(name, "CON")) {
            // The plain device name picks its side by the access asked for.
            DWORD side = access & (GENERIC_READ | GENERIC_WRITE);
            input = side == GENERIC_READ;
            output = side == GENERIC_WRITE;
            if (!input && !output) return FailHandle(ERROR_INVALID_PARAMETER);
        }
        // A process without a controlling terminal has no console, as a
        // Windows process started without one.
        if ((input || output) && !console.terminal.console) return FailHandle(ERROR_INVALID_HANDLE);
        if (input) return AddHandle(console, HandleEntry{HandleKind::Input, access, nullptr});
        if (output) return AddHandle(console, HandleEntry{HandleKind::Screen, access, console.active});
        if (Named(name, "NUL")) return AddHandle(console, HandleEntry{HandleKind::Null, access, nullptr});
        if (*name == 0) return FailHandle(ERROR_PATH_NOT_FOUND);
        return OpenFile(console, name, access, disposition);
    });
}

STANDIN_API BOOL CloseHandle(HANDLE handle) {
    return OnConsole(FALSE, [&](ConsoleCore &console) {
        return CloseConsoleHandle(console, handle) ? TRUE : Fail(ERROR_INVALID_HANDLE);
    });
}

namespace {

// The entry of a handle that has a console mode: the input buffer or a
// screen buffer; null when it is neither.
HandleEntry *ModeHolder(ConsoleCore &console, HANDLE handle) {
    HandleEntry *entry = FindHandle(console, handle);
    bool hasMode = entry != nullptr && (entry->kind == HandleKind::Input || entry->kind == HandleKind::Screen);
    return hasMode ? entry : nullptr;
}

}  // namespace

STANDIN_API BOOL GetConsoleMode(HANDLE handle, LPDWORD mode) {
    return OnConsole(FALSE, [&](ConsoleCore &console) {
        HandleEntry *entry = ModeHolder(console, handle);
        if (entry == nullptr) return Fail(ERROR_INVALID_HANDLE);
        if (mode == nullptr) return Fail(ERROR_NOACCESS);
        *mode = entry->kind == HandleKind::Input ? console.inputMode : entry->screen->mode;
        return TRUE;
    });
}

STANDIN_API BOOL SetConsoleMode(HANDLE handle, DWORD mode) {
    return OnConsole(FALSE, [&](ConsoleCore &console) {
        HandleEntry *entry = ModeHolder(console, handle);
        if (entry == nullptr) return Fail(ERROR_INVALID_HANDLE);
        if (entry->kind == HandleKind::Screen) {
            if (mode & ~kOutputModeBits) return Fail(ERROR_INVALID_PARAMETER);
            entry->screen->mode = mode;
            return TRUE;
        }
        // An input mode is taken even when it is then reported as wrong.
        bool processedBefore = console.inputMode & ENABLE_PROCESSED_INPUT;
        console.inputMode = mode;
        bool processed = mode & ENABLE_PROCESSED_INPUT;
        if (processed != processedBefore) SetSignalKeys(processed);
        bool echoWithoutLines = (mode & ENABLE_ECHO_INPUT) && !(mode & ENABLE_LINE_INPUT);
        if ((mode & ~kInputModeBits) || echoWithoutLines) return Fail(ERROR_INVALID_PARAMETER);
        return TRUE;
    });
}

STANDIN_API HANDLE CreateConsoleScreenBuffer(DWORD access, DWORD, const SECURITY_ATTRIBUTES *, DWORD flags,
                                             LPVOID reserved) {
    if (flags != CONSOLE_TEXTMODE_BUFFER || reserved != nullptr) return FailHandle(ERROR_INVALID_PARAMETER);
    return OnConsole(INVALID_HANDLE_VALUE, [&](ConsoleCore &console) {
        const ScreenBuffer &active = *console.active;
        auto buffer = std::make_shared<ScreenBuffer>();
        DWORD error = InitBuffer(*buffer, active.window.Right - active.window.Left + 1,
                                 active.window.Bottom - active.window.Top + 1, active.attributes);
        if (error != ERROR_SUCCESS) return FailHandle(error);
        return AddHandle(console, HandleEntry{HandleKind::Screen, access, std::move(buffer)});
    });
}

STANDIN_API BOOL SetConsoleActiveScreenBuffer(HANDLE output) {
    return OnConsole(FALSE, [&](ConsoleCore &console) {
        HandleEntry *entry = FindHandle(console, output);
        if (entry == nullptr || entry->kind != HandleKind::Screen || !(entry->access & GENERIC_WRITE))
            return Fail(ERROR_INVALID_HANDLE);
        Activate(console, entry->screen);
        return TRUE;
    });
}
