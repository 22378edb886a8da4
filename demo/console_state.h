// The program's process-wide record of its console use: the handles it
// writes and reads through, its colours, the remembered cursor shape and a
// scroll that is owed. Plain data, set up at start-up, used without locks.
#pragma once

#include <cstdint>

#include "platform/windows.h"

struct ConsoleState {
    // 0xFF: the last written cell was the last cell of the last row, and one
    // line of scroll is owed before anything more is written there.
    std::uint8_t pendingScroll;
    std::uint32_t foregroundColour;  // 0 to 15
    std::uint32_t backgroundColour;  // 0 to 15
    HANDLE consoleInput;             // "CONIN$", read by KeyWaiting
    HANDLE screen;                   // every screen operation writes through this
    HANDLE standardError;
    HANDLE standardInput;
    HANDLE standardOutput;
    // dwSize: 1 to 100 percent of the cell. bVisible: 0 hidden, nonzero
    // visible, -1 visible but hidden for the duration of a screen operation.
    CONSOLE_CURSOR_INFO cursor;
};

extern ConsoleState Console;
