// Byte reads and writes through handles: the null device (takes every write,
// gives end of file to every read), descriptors (redirected standard streams
// and files opened by name), and the terminal while the console has not
// taken it raw, which reads and shows bytes as the terminal's own line
// discipline does, like a Windows console's plain text.
#include <errno.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include "platform/posix/console/console_core.h"
#include "platform/posix/win32/win32_api.h"

using namespace standin;

namespace {

enum class Stream { None, Null, Descriptor };

struct Target {
    Stream stream = Stream::None;
    int fd = -1;
    bool pipe = false;
};

// Where the bytes of a handle go, or None with the last error set. The
// console's handles carry records and cells; only while the terminal keeps
// its own settings do they pass bytes, to and from the terminal.
Target ByteStream(HANDLE handle, bool reading) {
    LockedConsole c;
    HandleEntry *entry = FindHandle(c.console, handle);
    if (entry == nullptr) return Fail(ERROR_INVALID_HANDLE), Target{};
    switch (entry->kind) {
    case HandleKind::Null: return Target{Stream::Null};
    case HandleKind::File: return Target{Stream::Descriptor, entry->fd, entry->pipe};
    case HandleKind::Input:
    case HandleKind::Screen: {
        int fd = reading ? c.console.terminal.keyboard : c.console.terminal.display;
        bool terminalSide = reading == (entry->kind == HandleKind::Input);
        if (fd < 0 || !terminalSide || TerminalHeld() ||
            (entry->kind == HandleKind::Screen && entry->screen != c.console.active))
            return Fail(ERROR_NOT_SUPPORTED), Target{};
        return Target{Stream::Descriptor, fd, false};
    }
    }
    return Fail(ERROR_INVALID_HANDLE), Target{};
}

DWORD ReadError(int error) {
    switch (error) {
    case EISDIR: return ERROR_INVALID_FUNCTION;
    case EBADF: return ERROR_ACCESS_DENIED;
    default: return ERROR_READ_FAULT;
    }
}

DWORD WriteError(int error) {
    switch (error) {
    case EPIPE: return ERROR_NO_DATA;  // the reading end is gone: "the pipe is being closed"
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case EBADF: return ERROR_ACCESS_DENIED;
    default: return ERROR_WRITE_FAULT;
    }
}

// Writes all of it, as a blocking WriteFile does. A reader that went away is
// an error to report, never a signal: SIGPIPE is held off this thread for
// the write, and one that the write raised is taken back.
DWORD WriteAll(int fd, const char *bytes, DWORD length, DWORD &written) {
    sigset_t pipeSignal, before, pending;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &before);
    sigpending(&pending);
    bool alreadyPending = sigismember(&pending, SIGPIPE) == 1;
    DWORD error = ERROR_SUCCESS;
    while (written < length) {
        ssize_t n = write(fd, bytes + written, length - written);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = WriteError(errno);
            break;
        }
        written += static_cast<DWORD>(n);
    }
    if (error == ERROR_NO_DATA && !alreadyPending) {
        struct timespec now {};
        sigtimedwait(&pipeSignal, nullptr, &now);
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    return error;
}

}  // namespace

STANDIN_API BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD length, LPDWORD read, LPOVERLAPPED) {
    if (DWORD error = CheckCallerArray(file, buffer, length > 0, read)) return Fail(error);
    *read = 0;
    Target target = AtBoundary(Target{}, [&] { return ByteStream(file, true); });
    if (target.stream == Stream::None) return FALSE;
    if (target.stream == Stream::Null || length == 0) return TRUE;
    ssize_t n;
    do n = ::read(target.fd, buffer, length);
    while (n < 0 && errno == EINTR);
    if (n < 0) return Fail(ReadError(errno));
    // A pipe whose writers are all gone ends in an error, not an empty read.
    if (n == 0 && target.pipe) return Fail(ERROR_BROKEN_PIPE);
    *read = static_cast<DWORD>(n);
    return TRUE;
}

STANDIN_API BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD length, LPDWORD written, LPOVERLAPPED) {
    if (DWORD error = CheckCallerArray(file, buffer, length > 0, written)) return Fail(error);
    *written = 0;
    Target target = AtBoundary(Target{}, [&] { return ByteStream(file, false); });
    if (target.stream == Stream::None) return FALSE;
    if (target.stream == Stream::Null) {
        *written = length;
        return TRUE;
    }
    DWORD error = WriteAll(target.fd, static_cast<const char *>(buffer), length, *written);
    return error == ERROR_SUCCESS ? TRUE : Fail(error);
}
