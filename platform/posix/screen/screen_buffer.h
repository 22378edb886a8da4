// A console screen buffer as a pure model in memory: its cells, cursor,
// window and output mode, with the platform's rules for fills, block copies,
// scrolling and resizing. No handles, locks or terminal here.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/posix/win32/win32_types.h"

namespace standin {

struct ScreenBuffer {
    int width = 0;
    int height = 0;
    // Row-major. A cell's Char holds the byte zero-extended, as the ANSI
    // functions store it, so the high byte of a cell is always 0.
    std::vector<CHAR_INFO> cells;
    COORD cursor{0, 0};
    CONSOLE_CURSOR_INFO cursorInfo{25, TRUE};
    WORD attributes = 0x07;  // for blanks the console makes itself
    SMALL_RECT window{0, 0, 0, 0};
    DWORD mode = ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT;

    CHAR_INFO &At(int x, int y) { return cells[static_cast<std::size_t>(y) * width + x]; }
    const CHAR_INFO &At(int x, int y) const { return cells[static_cast<std::size_t>(y) * width + x]; }
};

// The longest side of a buffer, and of the display the console reports: a
// side of 32767 is refused.
constexpr int kLargestSide = 32766;

// The most cells one buffer may have. Windows would run out of memory near
// here as well; refusing early keeps a huge request from taking the machine.
constexpr long long kMaxCells = 64ll << 20;

CHAR_INFO MakeCell(unsigned char byte, WORD attribute);

// Operations that can fail return ERROR_SUCCESS or a Win32 error code, and
// change nothing when they fail.

// A blank buffer whose window is the whole of it, cursor at the top left.
DWORD InitBuffer(ScreenBuffer &buffer, int width, int height, WORD attributes);
// New cells are blanks; the window moves to stay inside, the cursor is clamped.
DWORD ResizeBuffer(ScreenBuffer &buffer, COORD size);
DWORD SetWindow(ScreenBuffer &buffer, SMALL_RECT window, COORD largest);
// The window follows the cursor so that it stays visible.
DWORD PlaceCursor(ScreenBuffer &buffer, COORD position);
DWORD SetCursorInfo(ScreenBuffer &buffer, const CONSOLE_CURSOR_INFO &info);

enum class FillPart { Character, Attribute };
// Fills in reading order from start, stopping at the end of the buffer; a
// start outside the buffer fills nothing. Returns the cells filled.
DWORD FillCells(ScreenBuffer &buffer, FillPart part, WORD value, DWORD length, COORD start);

// Checks a block against the caller's cell array (origin inside it, region
// not inverted) and trims the region to what the array holds.
DWORD TrimToCells(COORD cellsSize, COORD cellsOrigin, SMALL_RECT &region);
// Copy a trimmed block to or from the screen, clipped to the buffer on every
// side; the region comes back as the part on the screen. Caller cells for
// positions off the screen are neither read nor written.
void WriteBlock(ScreenBuffer &buffer, const CHAR_INFO *cells, COORD cellsSize, COORD cellsOrigin,
                SMALL_RECT &region);
// A read of a region wholly off the screen copies nothing and returns false.
bool ReadBlock(const ScreenBuffer &buffer, CHAR_INFO *cells, COORD cellsSize, COORD cellsOrigin,
               SMALL_RECT &region);
// The empty region at a region's top left, as the console reports one:
// Right one left of Left, Bottom one above Top.
SMALL_RECT EmptyRegion(const SMALL_RECT &region);

// Moves the scroll rectangle to the destination and fills what it uncovers,
// all within the clip (the whole buffer when null). Overlap is safe.
void ScrollBlock(ScreenBuffer &buffer, SMALL_RECT scroll, const SMALL_RECT *clip, COORD destination,
                 CHAR_INFO fill);

}  // namespace standin
