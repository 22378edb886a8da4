// The console state record and its set-up: which handle the screen is written
// through, the console input handle, the console modes, and the cursor shape
// that the screen operations hide and show again.
#include "demo/console.h"

ConsoleState Console;

namespace {
constexpr std::uint32_t kLargestCursor = 99;
}

void InitialiseConsoleState() {
    Console.pendingScroll = kNoScrollOwed;
    Console.foregroundColour = 7;
    Console.backgroundColour = 0;
}

void SetUpConsole() {
    Console.standardError = GetStdHandle(STD_ERROR_HANDLE);
    Console.screen = Console.standardError;
    Console.standardInput = GetStdHandle(STD_INPUT_HANDLE);
    Console.standardOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    // Keys are read from the console even when standard input is redirected.
    // Sharing writing too: the process's own standard input is open for both.
    Console.consoleInput = CreateFileA("CONIN$", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, 0, nullptr);
    DWORD mode;
    if (GetConsoleMode(Console.standardOutput, &mode)) Console.screen = Console.standardOutput;
    SetConsoleMode(Console.screen, ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT);
    // No line editing, no echo, and Ctrl+C arrives as a key.
    SetConsoleMode(Console.standardInput, 0);

    if (GetConsoleCursorInfo(Console.screen, &Console.cursor) && Console.cursor.dwSize != 0) return;
    if (GetConsoleCursorInfo(Console.standardOutput, &Console.cursor) && Console.cursor.dwSize != 0) return;
    Console.cursor.dwSize = 1;
    Console.cursor.bVisible = kCursorVisible;
    SetConsoleCursorInfo(Console.screen, &Console.cursor);
}

void SetCursorShape(std::int32_t n) {
    if (n == 0) {
        Console.cursor.bVisible = kCursorHidden;
    } else if (n < 0) {
        Console.cursor.bVisible = kCursorVisible;
    } else {
        Console.cursor.dwSize = static_cast<std::uint32_t>(n) < kLargestCursor ? n : kLargestCursor;
        Console.cursor.bVisible = kCursorVisible;
    }
    SetConsoleCursorInfo(Console.screen, &Console.cursor);
}

// Suspended remembers that the cursor was visible and must come back.
void SuspendCursor() {
    if (Console.cursor.bVisible == kCursorHidden) return;
    SetCursorShape(0);
    Console.cursor.bVisible = kCursorSuspended;
}

void ResumeCursor() {
    if (Console.cursor.bVisible == kCursorHidden) SetCursorShape(0);
    else SetCursorShape(static_cast<std::int32_t>(Console.cursor.dwSize));
}
