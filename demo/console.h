// The program's console: set-up of its handles and modes, and the screen
// operations that clear it, write text at the cursor and end lines. Every
// cell is written through the console's cell functions; wrapping at the
// right edge and scrolling at the bottom are done here, not by the console.
#pragma once

#include <cstdint>

#include "demo/console_state.h"
#include "runtime/string_handle.h"

// Once at start-up, before any other console use.
void SetUpConsole();
// Pending scroll cleared, light grey on black. Leaves the handles and the
// cursor shape that SetUpConsole recorded alone.
void InitialiseConsoleState();

// The whole buffer blank in the current colours, cursor at the top left.
void ClearScreen();
// Writes the string on top of the frame's temporary stack at the cursor,
// then pops it: an owned string is released, a borrowed one left alone.
void WriteText(CallFrame &frame);
// Column 1 of the next row, scrolling when on the last row. Writes no cell.
void WriteLineEnd();

// The building blocks of the operations above. Positions here are 1-based.
// Without a console on the screen handle, none of them does anything.
void WriteBytes(const unsigned char *bytes, std::uint32_t count);
void WriteSpaces(std::uint32_t count);
// A column or row outside the buffer keeps the cursor's own.
void MoveCursor(std::int32_t column, std::int32_t row);
void ScrollUpOneLine();
// 0 hides the cursor, a negative n shows it, a positive n shows it at that
// size (at most 99).
void SetCursorShape(std::int32_t n);
void SuspendCursor();
void ResumeCursor();
