// The console input buffer: a first-in first-out queue of input records that
// the terminal's reading loop and WriteConsoleInputA fill, and Peek and Read
// take from.
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>

#include "platform/posix/console/console_core.h"
#include "platform/posix/console/console_input.h"
#include "platform/posix/terminal/terminal_input.h"
#include "platform/posix/win32/win32_api.h"

using namespace standin;

namespace {

bool IsMouseMove(const INPUT_RECORD &r) {
    return r.EventType == MOUSE_EVENT && r.Event.MouseEvent.dwEventFlags == MOUSE_MOVED;
}

std::atomic<std::uint64_t> readCalls{0};
std::mutex faultLock;
StandinReadFault readFault = STANDIN_READ_WORKS;
std::uint32_t faultsLeft = 0;

// The fault the coming read is to show, if any, counted off.
StandinReadFault TakeReadFault() {
    std::lock_guard<std::mutex> guard(faultLock);
    if (faultsLeft == 0) return STANDIN_READ_WORKS;
    --faultsLeft;
    return readFault;
}

DWORD CopyOut(const std::deque<INPUT_RECORD> &queue, PINPUT_RECORD records, DWORD length) {
    DWORD count = static_cast<DWORD>(std::min<std::size_t>(length, queue.size()));
    std::copy_n(queue.begin(), count, records);
    return count;
}

}  // namespace

namespace standin {

std::uint64_t QueueInput(const INPUT_RECORD *records, std::size_t count) {
    LockedConsole c;
    std::uint64_t first = c.console.queued;
    c.console.input.insert(c.console.input.end(), records, records + count);
    c.console.queued += count;
    c.console.inputArrived.notify_all();
    return first;
}

std::uint64_t InputHead() {
    LockedConsole c;
    return c.console.queued - c.console.input.size();
}

bool InputQueued() {
    LockedConsole c;
    return !c.console.input.empty();
}

int TerminalInputFd() { return TheConsole().terminal.keyboard; }

DWORD InputMode() {
    LockedConsole c;
    return c.console.inputMode;
}

}  // namespace standin

STANDIN_API BOOL PeekConsoleInputA(HANDLE input, PINPUT_RECORD records, DWORD length, LPDWORD read) {
    return AtBoundary(FALSE, [&] {
        PumpTerminalInput();
        if (DWORD error = CheckCallerArray(input, records, length > 0, read)) return Fail(error);
        return OnInput(input, [&](ConsoleCore &console) {
            *read = CopyOut(console.input, records, length);
            return TRUE;
        });
    });
}

namespace standin {

void FaultConsoleReads(StandinReadFault fault, std::uint32_t count) {
    std::lock_guard<std::mutex> guard(faultLock);
    readFault = fault;
    faultsLeft = fault == STANDIN_READ_WORKS ? 0 : count;
}

std::uint64_t ConsoleReadCalls() { return readCalls; }

}  // namespace standin

// Waits, as Windows does, until at least one record is there.
STANDIN_API BOOL ReadConsoleInputA(HANDLE input, PINPUT_RECORD records, DWORD length, LPDWORD read) {
    ++readCalls;
    switch (TakeReadFault()) {
    case STANDIN_READ_REFUSED: return Fail(ERROR_INVALID_HANDLE);
    case STANDIN_READ_REMOVES_NOTHING:
        if (read != nullptr) *read = 0;
        return TRUE;
    case STANDIN_READ_WORKS: break;
    }
    return AtBoundary(FALSE, [&] {
        ConsoleCore &console = TheConsole();
        for (;;) {
            PumpTerminalInput();
            std::unique_lock<std::mutex> hold(console.lock);
            if (DWORD error = CheckCallerArray(input, records, length > 0, read)) return Fail(error);
            if (!IsInputHandle(console, input)) return Fail(ERROR_INVALID_HANDLE);
            if (length == 0 || !console.input.empty()) {
                DWORD count = CopyOut(console.input, records, length);
                console.input.erase(console.input.begin(), console.input.begin() + count);
                *read = count;
                return TRUE;
            }
            int keyboard = console.terminal.keyboard;
            if (keyboard < 0) {
                console.inputArrived.wait_for(hold, std::chrono::milliseconds(50));
                continue;
            }
            hold.unlock();
            struct pollfd ready {keyboard, POLLIN, 0};
            poll(&ready, 1, 50);
        }
    });
}

// With processed input on, a Ctrl+C record is not queued: its press is the
// process's Ctrl+C, as when it is typed. A single mouse move written while
// the newest queued record is a mouse move only moves that record along.
// Records are queued all or none.
STANDIN_API BOOL WriteConsoleInputA(HANDLE input, const INPUT_RECORD *records, DWORD length, LPDWORD written) {
    if (DWORD error = CheckCallerArray(input, records, length > 0, written)) return Fail(error);
    bool interrupted = false;
    BOOL done = OnInput(input, [&](ConsoleCore &console) {
        std::deque<INPUT_RECORD> &queue = console.input;
        bool processed = console.inputMode & ENABLE_PROCESSED_INPUT;
        if (length == 1 && IsMouseMove(records[0]) && !queue.empty() && IsMouseMove(queue.back())) {
            queue.back().Event.MouseEvent.dwMousePosition = records[0].Event.MouseEvent.dwMousePosition;
        } else {
            std::size_t before = queue.size();
            try {
                for (DWORD i = 0; i < length; ++i) {
                    if (processed && IsCtrlC(records[i])) interrupted = interrupted || records[i].Event.KeyEvent.bKeyDown;
                    else queue.push_back(records[i]);
                }
            } catch (const std::bad_alloc &) {
                queue.resize(before);
                throw;
            }
            console.queued += queue.size() - before;
        }
        console.inputArrived.notify_all();
        *written = length;
        return TRUE;
    });
    // Outside the lock: what the signal runs may use the console.
    if (done && interrupted) SendSignalKey(SIGINT);
    return done;
}

// Typed keys the reading loop has not yet queued are discarded too.
STANDIN_API BOOL FlushConsoleInputBuffer(HANDLE input) {
    return AtBoundary(FALSE, [&] {
        PumpTerminalInput();
        return OnInput(input, [&](ConsoleCore &console) {
            console.input.clear();
            return TRUE;
        });
    });
}

STANDIN_API BOOL GetNumberOfConsoleInputEvents(HANDLE input, LPDWORD count) {
    return AtBoundary(FALSE, [&] {
        PumpTerminalInput();
        return OnInput(input, [&](ConsoleCore &console) {
            if (count == nullptr) return Fail(ERROR_NOACCESS);
            *count = static_cast<DWORD>(console.input.size());
            return TRUE;
        });
    });
}
