// The process's one console under the stand-in: the handle table, the screen
// buffers, the input queue and the console modes behind one lock, and the
// step that mirrors the active buffer onto the terminal after a change.
#pragma once

#include <cxxabi.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>
#include <vector>

#include "platform/posix/screen/screen_buffer.h"
#include "platform/posix/terminal/terminal.h"
#include "platform/posix/terminal/terminal_mirror.h"

namespace standin {

enum class HandleKind {
    Input,   // the console input buffer
    Screen,  // a screen buffer
    File,    // a descriptor: a redirected standard stream or a file opened by name
    Null,    // the null device: takes every byte, gives none
};

struct HandleEntry {
    HandleKind kind;
    DWORD access;
    std::shared_ptr<ScreenBuffer> screen;  // for Screen handles
    int fd = -1;                           // for File handles
    bool ownsFd = false;                   // opened by name: closed with the handle
    bool pipe = false;                     // its end of file is a broken pipe, as on Windows
};

struct ConsoleCore {
    std::mutex lock;
    std::condition_variable inputArrived;
    std::unordered_map<std::uintptr_t, HandleEntry> handles;
    std::uintptr_t nextHandle = 0x10;
    HANDLE standard[3] = {};  // input, output, error, as GetStdHandle gives them
    // The buffer on the terminal. The console holds it, so it lives on even
    // when every handle to it is closed.
    std::shared_ptr<ScreenBuffer> active;
    // The console's first buffer lives as long as the console does; it is
    // where closing the active buffer ends up when nothing else was active.
    std::shared_ptr<ScreenBuffer> first;
    // The buffers that were active before, the latest last. Closing every
    // handle to the active buffer makes the latest of them that still lives
    // active again.
    std::vector<std::weak_ptr<ScreenBuffer>> previouslyActive;
    COORD display{80, 25};  // the terminal's size, or 80 x 25 without one
    TerminalFds terminal;
    TerminalMirror mirror;
    DWORD inputMode = 0;
    std::deque<INPUT_RECORD> input;
    // Records ever appended to input, which only loses records at its head:
    // the head's number is queued - input.size().
    std::uint64_t queued = 0;
};

// The console, set up on first use. Hold its lock for any access.
ConsoleCore &TheConsole();

// The console, held under its lock for the life of this value.
struct LockedConsole {
    ConsoleCore &console = TheConsole();
    std::lock_guard<std::mutex> hold{console.lock};
};

HANDLE AddHandle(ConsoleCore &console, HandleEntry entry);
// The entry of a descriptor's handle; an owned descriptor is closed with it.
HandleEntry FileEntry(int fd, DWORD access, bool owned);
// Null when the handle is not one of the console's open handles.
HandleEntry *FindHandle(ConsoleCore &console, HANDLE handle);
ScreenBuffer *FindScreen(ConsoleCore &console, HANDLE handle);
bool IsInputHandle(ConsoleCore &console, HANDLE handle);

// Makes a buffer the one on the terminal and redraws the terminal.
void Activate(ConsoleCore &console, std::shared_ptr<ScreenBuffer> buffer);
// Removes a handle; false when it is not one of the console's. When it was
// the last handle to the active buffer, the buffer active before it takes
// its place, as the Windows console host does.
bool CloseConsoleHandle(ConsoleCore &console, HANDLE handle);

// The arguments of a function that copies records or cells to or from the
// caller's array, in the order Windows checks them: INVALID_HANDLE_VALUE
// first, then a missing array (when the length asks for one), then a missing
// place for the result (a count or a region), and only then whether the
// handle is one of the console's. ERROR_SUCCESS when the call may go on.
DWORD CheckCallerArray(HANDLE handle, const void *array, bool arrayUsed, const void *result);

// After a change to a buffer: when it is the one on the terminal, bring the
// terminal up to date in one write.
void ShowChanges(ConsoleCore &console, const ScreenBuffer &buffer);
// The same for the whole terminal, after the active buffer was switched.
void RedrawTerminal(ConsoleCore &console);
// Draws the active buffer again when the terminal changed size or was drawn
// on by others while the process was stopped; cheap when neither happened.
// Takes the console's lock.
void RedrawIfDisturbed();

// The largest window the display allows on the buffer.
COORD LargestWindow(const ConsoleCore &console, const ScreenBuffer &buffer);

// Sets the last error and returns FALSE: the shape of every failure.
BOOL Fail(DWORD error);
// The same for the functions that give a handle.
HANDLE FailHandle(DWORD error);

// The boundary of every console function: its body runs here, and nothing
// thrown inside the stand-in unwinds into the caller, which may be C or
// anything else. Running out of memory gives the function's failure value
// with ERROR_NOT_ENOUGH_MEMORY, as Windows reports it; any other exception
// is a fault of ours and gives the failure value with
// ERROR_INVALID_FUNCTION. A thread's cancellation goes on unwinding, as it
// must.
template <class Result, class Body>
Result AtBoundary(Result failure, Body &&body) {
    try {
        return body();
    } catch (abi::__forced_unwind &) {
        throw;
    } catch (const std::bad_alloc &) {
        Fail(ERROR_NOT_ENOUGH_MEMORY);
    } catch (...) {
        Fail(ERROR_INVALID_FUNCTION);
    }
    return failure;
}

// A console function's body under the console's lock, at the boundary.
template <class Result, class Body>
Result OnConsole(Result failure, Body &&body) {
    return AtBoundary(failure, [&] {
        LockedConsole c;
        return body(c.console);
    });
}

// A function of a screen buffer's handle that only reads the buffer:
// ERROR_INVALID_HANDLE when the handle is none.
template <class Body>
BOOL ReadingScreen(HANDLE output, Body &&body) {
    return OnConsole(FALSE, [&](ConsoleCore &console) {
        ScreenBuffer *buffer = FindScreen(console, output);
        return buffer == nullptr ? Fail(ERROR_INVALID_HANDLE) : body(console, *buffer);
    });
}

// A function that changes a screen buffer: as above, and when it succeeds
// and the buffer is the one on the terminal, the terminal shows the change.
template <class Body>
BOOL ChangingScreen(HANDLE output, Body &&body) {
    return ReadingScreen(output, [&](ConsoleCore &console, ScreenBuffer &buffer) {
        if (!body(console, buffer)) return FALSE;
        ShowChanges(console, buffer);
        return TRUE;
    });
}

// A function of the console input buffer's handle.
template <class Body>
BOOL OnInput(HANDLE input, Body &&body) {
    return OnConsole(FALSE, [&](ConsoleCore &console) {
        return IsInputHandle(console, input) ? body(console) : Fail(ERROR_INVALID_HANDLE);
    });
}

}  // namespace standin
