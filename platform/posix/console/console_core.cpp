// Setting up the console on first use, the handle table, and mirroring.
#include "platform/posix/console/console_core.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "platform/posix/win32/win32_api.h"

namespace standin {
namespace {

constexpr DWORD kDefaultInputMode = ENABLE_PROCESSED_INPUT | ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT |
                                    ENABLE_MOUSE_INPUT | ENABLE_INSERT_MODE | ENABLE_QUICK_EDIT_MODE |
                                    ENABLE_EXTENDED_FLAGS | ENABLE_AUTO_POSITION;
constexpr DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;

// The standard handle for a descriptor: the console when it is the terminal,
// a plain file handle when redirected, null when the descriptor is closed.
HANDLE StandardHandle(ConsoleCore &console, int fd, HandleKind consoleKind) {
    if (fcntl(fd, F_GETFD) < 0) return nullptr;
    if (!isatty(fd) || !console.terminal.console) return AddHandle(console, FileEntry(fd, kReadWrite, false));
    if (consoleKind == HandleKind::Input) return AddHandle(console, HandleEntry{HandleKind::Input, kReadWrite, nullptr});
    return AddHandle(console, HandleEntry{HandleKind::Screen, kReadWrite, console.active});
}

// When making the console runs out of memory, the console function that
// asked for it fails and the next one tries again; the terminal is taken
// only once all the same.
ConsoleCore *CreateConsole() {
    static const TerminalFds terminal = AttachTerminal((kDefaultInputMode & ENABLE_PROCESSED_INPUT) != 0);
    auto console = std::make_unique<ConsoleCore>();
    console->inputMode = kDefaultInputMode;
    console->terminal = terminal;
    int columns = 80, rows = 25;
    TerminalSize(console->terminal.display, columns, rows);
    columns = std::clamp(columns, 1, kLargestSide);
    rows = std::clamp(rows, 1, kLargestSide);
    console->display = COORD{static_cast<SHORT>(columns), static_cast<SHORT>(rows)};
    console->active = std::make_shared<ScreenBuffer>();
    if (InitBuffer(*console->active, columns, rows, 0x07) != ERROR_SUCCESS) throw std::bad_alloc();
    console->first = console->active;
    console->standard[0] = StandardHandle(*console, STDIN_FILENO, HandleKind::Input);
    console->standard[1] = StandardHandle(*console, STDOUT_FILENO, HandleKind::Screen);
    console->standard[2] = StandardHandle(*console, STDERR_FILENO, HandleKind::Screen);
    // Never destroyed: handles stay usable while other modules shut down.
    return console.release();
}

}  // namespace

HandleEntry FileEntry(int fd, DWORD access, bool owned) {
    struct stat info {};
    bool pipe = fstat(fd, &info) == 0 && (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode));
    return HandleEntry{HandleKind::File, access, nullptr, fd, owned, pipe};
}

ConsoleCore &TheConsole() {
    static ConsoleCore *console = CreateConsole();
    return *console;
}

HANDLE AddHandle(ConsoleCore &console, HandleEntry entry) {
    std::uintptr_t value = console.nextHandle;
    try {
        console.handles.emplace(value, std::move(entry));
    } catch (const std::bad_alloc &) {
        // The table never had it: a descriptor opened for it is closed here.
        if (entry.ownsFd) close(entry.fd);
        throw;
    }
    console.nextHandle += 4;
    return reinterpret_cast<HANDLE>(value);
}

HandleEntry *FindHandle(ConsoleCore &console, HANDLE handle) {
    auto found = console.handles.find(reinterpret_cast<std::uintptr_t>(handle));
    return found == console.handles.end() ? nullptr : &found->second;
}

ScreenBuffer *FindScreen(ConsoleCore &console, HANDLE handle) {
    HandleEntry *entry = FindHandle(console, handle);
    return entry != nullptr && entry->kind == HandleKind::Screen ? entry->screen.get() : nullptr;
}

bool IsInputHandle(ConsoleCore &console, HANDLE handle) {
    HandleEntry *entry = FindHandle(console, handle);
    return entry != nullptr && entry->kind == HandleKind::Input;
}

void Activate(ConsoleCore &console, std::shared_ptr<ScreenBuffer> buffer) {
    if (buffer == console.active) return;
    auto &history = console.previouslyActive;
    auto goneOrComing = [&](const std::weak_ptr<ScreenBuffer> &b) { return b.expired() || b.lock() == buffer; };
    history.erase(std::remove_if(history.begin(), history.end(), goneOrComing), history.end());
    history.push_back(console.active);
    console.active = std::move(buffer);
    console.mirror.Invalidate();
    RedrawTerminal(console);
}

bool CloseConsoleHandle(ConsoleCore &console, HANDLE handle) {
    auto found = console.handles.find(reinterpret_cast<std::uintptr_t>(handle));
    if (found == console.handles.end()) return false;
    std::shared_ptr<ScreenBuffer> screen = std::move(found->second.screen);
    if (found->second.ownsFd) close(found->second.fd);
    console.handles.erase(found);
    if (screen == nullptr || screen != console.active || screen == console.first) return true;
    for (const auto &entry : console.handles)
        if (entry.second.screen == screen) return true;
    // The last handle to the active buffer: the latest buffer active before it
    // that still lives, or failing that the console's first, comes back.
    std::shared_ptr<ScreenBuffer> back;
    while (back == nullptr && !console.previouslyActive.empty()) {
        back = console.previouslyActive.back().lock();
        console.previouslyActive.pop_back();
    }
    if (back == nullptr) back = console.first;
    console.active = std::move(back);
    console.mirror.Invalidate();
    RedrawTerminal(console);
    return true;
}

DWORD CheckCallerArray(HANDLE handle, const void *array, bool arrayUsed, const void *result) {
    if (handle == INVALID_HANDLE_VALUE) return ERROR_INVALID_HANDLE;
    if (arrayUsed && array == nullptr) return ERROR_NOACCESS;
    if (result == nullptr) return ERROR_INVALID_ACCESS;
    return ERROR_SUCCESS;
}

void ShowChanges(ConsoleCore &console, const ScreenBuffer &buffer) {
    if (&buffer == console.active.get()) RedrawTerminal(console);
}

void RedrawTerminal(ConsoleCore &console) {
    if (console.terminal.display < 0) return;
    if (TakeResize()) {
        int columns, rows;
        if (TerminalSize(console.terminal.display, columns, rows))
            console.display = COORD{static_cast<SHORT>(std::min(columns, kLargestSide)),
                                    static_cast<SHORT>(std::min(rows, kLargestSide))};
        console.mirror.Invalidate();
    }
    if (TakeRedraw()) console.mirror.Invalidate();
    // The change is made whether or not the terminal shows it: a redraw that
    // runs out of memory leaves the terminal to be drawn whole next time.
    try {
        std::string bytes = console.mirror.Update(ComposeFrame(*console.active, console.display.X, console.display.Y));
        if (!bytes.empty()) WriteTerminal(bytes);
        // Also when nothing was written: a hidden cursor moves without bytes.
        if (console.mirror.Started()) SetHandBack(console.mirror.HandBack());
    } catch (const std::bad_alloc &) {
        console.mirror.Invalidate();
    }
}

void RedrawIfDisturbed() {
    if (!TerminalDisturbed()) return;
    LockedConsole c;
    RedrawTerminal(c.console);
}

COORD LargestWindow(const ConsoleCore &console, const ScreenBuffer &buffer) {
    return COORD{static_cast<SHORT>(std::min<int>(buffer.width, console.display.X)),
                 static_cast<SHORT>(std::min<int>(buffer.height, console.display.Y))};
}

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

HANDLE FailHandle(DWORD error) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

}  // namespace standin
