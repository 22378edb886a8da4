// The program's process-wide record of its console use: the handles it
// writes and reads through, its colours, the remembered cursor shape and a
// scroll that is owed. Plain data, set up at start-up, used without locks.
#pragma once

#include <cstdint>

#include "platform/windows.h"

// The pending scroll. Owed: the last written cell was the last cell of the
// last row, and one line of scroll is owed before anything more is written
// there. Any value but kNoScrollOwed counts as owed.
constexpr std::uint8_t kNoScrollOwed = 0;
constexpr std::uint8_t kScrollOwed = 0xFF;

// The cursor visibility as the program keeps it. The console reports 0 for a
// hidden cursor and any nonzero value for a visible one; kCursorSuspended is
// the program's own: visible, but hidden for the duration of a screen
// operation, and shown again when it ends.
constexpr BOOL kCursorHidden = 0;
constexpr BOOL kCursorVisible = 1;
constexpr BOOL kCursorSuspended = -1;

struct ConsoleState {
    std::uint8_t pendingScroll;  // kNoScrollOwed or kScrollOwed
    std::uint32_t foregroundColour;  // 0 to 15
    std::uint32_t backgroundColour;  // 0 to 15
    HANDLE consoleInput;             // "CONIN$", read by KeyWaiting
    HANDLE screen;                   // every screen operation writes through this
    HANDLE standardError;
    HANDLE standardInput;
    HANDLE standardOutput;
    // dwSize: 1 to 100 percent of the cell. bVisible: kCursorHidden, any
    // other value the console reports (visible), or kCursorSuspended.
    CONSOLE_CURSOR_INFO cursor;
};

extern ConsoleState Console;
