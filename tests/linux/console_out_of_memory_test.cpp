// The console functions when memory runs out: this program's operator new
// fails the N-th allocation of the test's thread, for every N in turn across
// a session of console calls, from the console's creation on. Each call
// either does its work or fails with ERROR_NOT_ENOUGH_MEMORY; none ends the
// process, and a failed call queues no input.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "platform/posix/standin_testing.h"
#include "platform/windows.h"

namespace {

// Allocations of this thread still to pass before one fails; -1: none fails.
thread_local long allocationsToPass = -1;
thread_local bool allocationFailed = false;

}  // namespace

void *operator new(std::size_t size) {
    if (allocationsToPass == 0) {
        allocationsToPass = -1;
        allocationFailed = true;
        throw std::bad_alloc();
    }
    if (allocationsToPass > 0) --allocationsToPass;
    if (void *block = std::malloc(size == 0 ? 1 : size)) return block;
    throw std::bad_alloc();
}
void operator delete(void *block) noexcept { std::free(block); }
void operator delete(void *block, std::size_t) noexcept { std::free(block); }

namespace {

[[maybe_unused]] const bool kHeadless = (StandinUseHeadlessConsole(), true);

struct Session {
    HANDLE out = INVALID_HANDLE_VALUE;
    HANDLE screen = INVALID_HANDLE_VALUE;
    HANDLE in = INVALID_HANDLE_VALUE;
};

HANDLE Open(const char *name) {
    return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

constexpr DWORD kRecords = 40;

using Step = BOOL (*)(Session &);

// Each succeeds when memory does not run out. The first is the process's
// first console call, so the console is made inside it.
const Step kSession[] = {
    [](Session &s) { return BOOL((s.out = Open("CONOUT$")) != INVALID_HANDLE_VALUE); },
    [](Session &s) {
        CONSOLE_SCREEN_BUFFER_INFO info{};
        return BOOL(GetConsoleScreenBufferInfo(s.out, &info) && info.dwSize.X == 80 && info.dwSize.Y == 25);
    },
    [](Session &s) {
        s.screen = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, 0, nullptr, CONSOLE_TEXTMODE_BUFFER, nullptr);
        return BOOL(s.screen != INVALID_HANDLE_VALUE);
    },
    [](Session &s) { return SetConsoleScreenBufferSize(s.screen, COORD{120, 60}); },
    [](Session &s) {
        CHAR_INFO cells[3][10] = {};
        SMALL_RECT region{2, 2, 11, 4};
        return WriteConsoleOutputA(s.screen, &cells[0][0], COORD{10, 3}, COORD{0, 0}, &region);
    },
    [](Session &s) {
        SMALL_RECT scroll{0, 0, 119, 59};
        CHAR_INFO fill{};
        return ScrollConsoleScreenBufferA(s.screen, &scroll, nullptr, COORD{0, -3}, &fill);
    },
    [](Session &s) { return SetConsoleActiveScreenBuffer(s.screen); },
    [](Session &s) { return BOOL((s.in = Open("CONIN$")) != INVALID_HANDLE_VALUE); },
    [](Session &s) { return FlushConsoleInputBuffer(s.in); },
    [](Session &s) {
        INPUT_RECORD records[kRecords] = {};
        for (INPUT_RECORD &r : records) r.EventType = FOCUS_EVENT;
        DWORD written = 0;
        return WriteConsoleInputA(s.in, records, kRecords, &written);
    },
    [](Session &s) {
        INPUT_RECORD records[kRecords];
        DWORD read = 0;
        return BOOL(ReadConsoleInputA(s.in, records, kRecords, &read) && read == kRecords);
    },
    [](Session &s) { return SetConsoleActiveScreenBuffer(s.out); },
    [](Session &s) {
        BOOL closed = CloseHandle(s.screen);
        if (closed) s.screen = INVALID_HANDLE_VALUE;
        return closed;
    },
};

void CloseWhatIsOpen(Session &s) {
    for (HANDLE h : {s.screen, s.in, s.out})
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
}

// Runs the session once for each of its allocations, that one failing;
// returns the calls that failed.
int FailEachAllocationInTurn() {
    int failedCalls = 0;
    bool faultReached = true;
    for (long n = 0; faultReached && n < 100000; ++n) {
        SCOPED_TRACE(testing::Message() << "allocation " << n << " fails");
        Session s;
        long toPass = n;
        faultReached = false;
        for (std::size_t step = 0; step < std::size(kSession); ++step) {
            DWORD queuedBefore = 0;
            if (s.in != INVALID_HANDLE_VALUE) GetNumberOfConsoleInputEvents(s.in, &queuedBefore);
            allocationFailed = false;
            allocationsToPass = faultReached ? -1 : toPass;
            SetLastError(ERROR_SUCCESS);
            BOOL done = kSession[step](s);
            DWORD error = GetLastError();
            toPass = allocationsToPass;
            allocationsToPass = -1;
            faultReached = faultReached || allocationFailed;
            // Without a terminal nothing is drawn, so no allocation is one
            // that a call can do without.
            EXPECT_EQ(done, !allocationFailed) << "call " << step << " with error " << error;
            if (done) continue;
            EXPECT_EQ(error, DWORD{ERROR_NOT_ENOUGH_MEMORY}) << "call " << step;
            if (s.in != INVALID_HANDLE_VALUE) {
                DWORD queued = 0;
                EXPECT_TRUE(GetNumberOfConsoleInputEvents(s.in, &queued));
                EXPECT_EQ(queued, queuedBefore) << "call " << step << " queued part of its records";
            }
            ++failedCalls;
            break;
        }
        CloseWhatIsOpen(s);
        if (testing::Test::HasFailure()) break;
    }
    EXPECT_FALSE(faultReached) << "a session ran out of memory at every allocation up to the limit";
    return failedCalls;
}

// The first console call of the process makes the console, and fails while
// making it fails; the next tries again.
TEST(ConsoleOutOfMemory, MakingTheConsoleFailsItsCallWithNotEnoughMemory) {
    EXPECT_GE(FailEachAllocationInTurn(), 6);
}

TEST(ConsoleOutOfMemory, EachFailedAllocationFailsItsCallWithNotEnoughMemory) {
    EXPECT_GE(FailEachAllocationInTurn(), 6);
}

}  // namespace
