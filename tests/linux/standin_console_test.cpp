// The stand-in console's own behaviour beyond what Windows defines: calls
// that would crash Windows fail cleanly here, limits of memory, the headless
// console, and input that a waiting read receives.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/windows.h"

namespace {

HANDLE Open(const char *name) {
    return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
}

bool Headless() { return !isatty(STDOUT_FILENO) && !isatty(STDERR_FILENO); }

}  // namespace

TEST(StandinConsole, MissingOutputPointersFailInsteadOfCrashing) {
    HANDLE out = Open("CONOUT$");
    HANDLE in = Open("CONIN$");
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(GetConsoleScreenBufferInfo(out, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_NOACCESS);
    EXPECT_FALSE(FillConsoleOutputCharacterA(out, 'x', 1, COORD{0, 0}, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_ACCESS);
    SMALL_RECT region{0, 0, 0, 0};
    EXPECT_FALSE(WriteConsoleOutputA(out, nullptr, COORD{1, 1}, COORD{0, 0}, &region));
    EXPECT_EQ(GetLastError(), ERROR_NOACCESS);
    EXPECT_FALSE(ScrollConsoleScreenBufferA(out, nullptr, nullptr, COORD{0, 0}, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_NOACCESS);
    EXPECT_FALSE(WriteConsoleInputA(in, nullptr, 1, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_NOACCESS);
    DWORD count;
    EXPECT_FALSE(PeekConsoleInputA(in, nullptr, 1, &count));
    EXPECT_EQ(GetLastError(), ERROR_NOACCESS);
    CloseHandle(out);
    CloseHandle(in);
}

TEST(StandinConsole, AHugeBufferIsRefusedForWantOfMemory) {
    HANDLE h = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, 0, nullptr, CONSOLE_TEXTMODE_BUFFER, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(SetConsoleScreenBufferSize(h, COORD{32766, 32766}));
    EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
    CONSOLE_SCREEN_BUFFER_INFO info;
    ASSERT_TRUE(GetConsoleScreenBufferInfo(h, &info));
    EXPECT_LT(info.dwSize.X, 32766) << "the buffer is as it was";
    CloseHandle(h);
}

TEST(StandinConsole, WithoutATerminalTheConsoleIs80By25AndRedirectedHandlesAreNoConsole) {
    if (!Headless()) GTEST_SKIP() << "run with a terminal on standard output or error";
    HANDLE out = Open("CONOUT$");
    CONSOLE_SCREEN_BUFFER_INFO info;
    ASSERT_TRUE(GetConsoleScreenBufferInfo(out, &info));
    EXPECT_EQ(info.dwSize.X, 80);
    EXPECT_EQ(info.dwSize.Y, 25);
    DWORD mode;
    EXPECT_FALSE(GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode));
    CloseHandle(out);
}

TEST(StandinConsole, ResizingTheActiveBufferQueuesASizeEventWhenWindowInputIsOn) {
    HANDLE in = Open("CONIN$");
    HANDLE out = Open("CONOUT$");
    DWORD mode;
    ASSERT_TRUE(GetConsoleMode(in, &mode));
    CONSOLE_SCREEN_BUFFER_INFO info;
    ASSERT_TRUE(GetConsoleScreenBufferInfo(out, &info));
    FlushConsoleInputBuffer(in);
    ASSERT_TRUE(SetConsoleMode(in, ENABLE_WINDOW_INPUT));
    ASSERT_TRUE(SetConsoleScreenBufferSize(out, COORD{info.dwSize.X, static_cast<SHORT>(info.dwSize.Y + 5)}));
    INPUT_RECORD record{};
    DWORD count = 0;
    ASSERT_TRUE(ReadConsoleInputA(in, &record, 1, &count));
    EXPECT_EQ(record.EventType, WINDOW_BUFFER_SIZE_EVENT);
    EXPECT_EQ(record.Event.WindowBufferSizeEvent.dwSize.Y, info.dwSize.Y + 5);
    SetConsoleMode(in, mode);
    SetConsoleScreenBufferSize(out, info.dwSize);
    CloseHandle(in);
    CloseHandle(out);
}

TEST(StandinConsole, AReadWaitsUntilARecordArrives) {
    HANDLE in = Open("CONIN$");
    FlushConsoleInputBuffer(in);
    std::thread writer([in] {
        std::this_thread::sleep_for(std::chrono::milliseconds(80));
        INPUT_RECORD record{};
        record.EventType = FOCUS_EVENT;
        DWORD written;
        WriteConsoleInputA(in, &record, 1, &written);
    });
    auto start = std::chrono::steady_clock::now();
    INPUT_RECORD record{};
    DWORD count = 0;
    EXPECT_TRUE(ReadConsoleInputA(in, &record, 1, &count));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(60));
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(record.EventType, FOCUS_EVENT);
    writer.join();
    CloseHandle(in);
}

// Ctrl+C is the character 3 from the main keyboard: with ENHANCED_KEY the
// record is another key's (Ctrl+Break gives one) and is queued as written,
// processed input or not.
TEST(StandinConsole, AnEnhancedCharacter3IsNoCtrlCAndIsQueued) {
    HANDLE in = Open("CONIN$");
    DWORD mode = 0;
    ASSERT_TRUE(GetConsoleMode(in, &mode));
    ASSERT_TRUE(SetConsoleMode(in, ENABLE_PROCESSED_INPUT));
    ASSERT_TRUE(FlushConsoleInputBuffer(in));
    INPUT_RECORD ctrlBreak{};
    ctrlBreak.EventType = KEY_EVENT;
    ctrlBreak.Event.KeyEvent.bKeyDown = TRUE;
    ctrlBreak.Event.KeyEvent.wRepeatCount = 1;
    ctrlBreak.Event.KeyEvent.wVirtualKeyCode = 0x03;  // VK_CANCEL
    ctrlBreak.Event.KeyEvent.wVirtualScanCode = 0x46;
    ctrlBreak.Event.KeyEvent.uChar.AsciiChar = 0x03;
    ctrlBreak.Event.KeyEvent.dwControlKeyState = LEFT_CTRL_PRESSED | ENHANCED_KEY;
    DWORD count = 0;
    ASSERT_TRUE(WriteConsoleInputA(in, &ctrlBreak, 1, &count));
    INPUT_RECORD queued{};
    EXPECT_TRUE(PeekConsoleInputA(in, &queued, 1, &count));
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(queued.Event.KeyEvent.wVirtualKeyCode, 0x03);
    SetConsoleMode(in, mode);
    FlushConsoleInputBuffer(in);
    CloseHandle(in);
}
