// The screen buffer functions: cursor, size and window, fills, block writes
// and reads, and scrolling. Each runs at the console's boundary, and each
// that changes a buffer mirrors the active one when done.
#include <algorithm>

#include "platform/posix/console/console_core.h"
#include "platform/posix/win32/win32_api.h"

using namespace standin;

STANDIN_API BOOL GetConsoleCursorInfo(HANDLE output, PCONSOLE_CURSOR_INFO info) {
    return ReadingScreen(output, [&](ConsoleCore &, ScreenBuffer &buffer) {
        if (info == nullptr) return Fail(ERROR_NOACCESS);
        *info = buffer.cursorInfo;
        return TRUE;
    });
}

STANDIN_API BOOL SetConsoleCursorInfo(HANDLE output, const CONSOLE_CURSOR_INFO *info) {
    return ChangingScreen(output, [&](ConsoleCore &, ScreenBuffer &buffer) {
        if (info == nullptr) return Fail(ERROR_NOACCESS);
        if (DWORD error = SetCursorInfo(buffer, *info)) return Fail(error);
        return TRUE;
    });
}

STANDIN_API BOOL GetConsoleScreenBufferInfo(HANDLE output, PCONSOLE_SCREEN_BUFFER_INFO info) {
    return ReadingScreen(output, [&](ConsoleCore &console, ScreenBuffer &buffer) {
        if (info == nullptr) return Fail(ERROR_NOACCESS);
        info->dwSize = COORD{static_cast<SHORT>(buffer.width), static_cast<SHORT>(buffer.height)};
        info->dwCursorPosition = buffer.cursor;
        info->wAttributes = buffer.attributes;
        info->srWindow = buffer.window;
        info->dwMaximumWindowSize = LargestWindow(console, buffer);
        return TRUE;
    });
}

STANDIN_API BOOL SetConsoleCursorPosition(HANDLE output, COORD position) {
    return ChangingScreen(output, [&](ConsoleCore &, ScreenBuffer &buffer) {
        if (DWORD error = PlaceCursor(buffer, position)) return Fail(error);
        return TRUE;
    });
}

STANDIN_API BOOL SetConsoleScreenBufferSize(HANDLE output, COORD size) {
    return ChangingScreen(output, [&](ConsoleCore &console, ScreenBuffer &buffer) {
        if (DWORD error = ResizeBuffer(buffer, size)) return Fail(error);
        if (&buffer == console.active.get() && (console.inputMode & ENABLE_WINDOW_INPUT)) {
            INPUT_RECORD record{};
            record.EventType = WINDOW_BUFFER_SIZE_EVENT;
            record.Event.WindowBufferSizeEvent.dwSize = size;
            console.input.push_back(record);
            console.inputArrived.notify_all();
        }
        return TRUE;
    });
}

STANDIN_API BOOL SetConsoleWindowInfo(HANDLE output, BOOL absolute, const SMALL_RECT *window) {
    return ChangingScreen(output, [&](ConsoleCore &console, ScreenBuffer &buffer) {
        if (window == nullptr) return Fail(ERROR_NOACCESS);
        SMALL_RECT wanted = *window;
        if (!absolute) {
            // Relative: each edge moves by its own amount.
            wanted.Left = static_cast<SHORT>(wanted.Left + buffer.window.Left);
            wanted.Top = static_cast<SHORT>(wanted.Top + buffer.window.Top);
            wanted.Right = static_cast<SHORT>(wanted.Right + buffer.window.Right);
            wanted.Bottom = static_cast<SHORT>(wanted.Bottom + buffer.window.Bottom);
        }
        if (DWORD error = SetWindow(buffer, wanted, LargestWindow(console, buffer))) return Fail(error);
        return TRUE;
    });
}

namespace {

// The two fills differ only in which half of each cell they set.
BOOL Fill(HANDLE output, FillPart part, WORD value, DWORD length, COORD start, LPDWORD written) {
    if (DWORD error = CheckCallerArray(output, nullptr, false, written)) return Fail(error);
    return ChangingScreen(output, [&](ConsoleCore &, ScreenBuffer &buffer) {
        *written = FillCells(buffer, part, value, length, start);
        return TRUE;
    });
}

}  // namespace

STANDIN_API BOOL FillConsoleOutputCharacterA(HANDLE output, CHAR character, DWORD length, COORD start,
                                             LPDWORD written) {
    return Fill(output, FillPart::Character, static_cast<unsigned char>(character), length, start, written);
}

STANDIN_API BOOL FillConsoleOutputAttribute(HANDLE output, WORD attribute, DWORD length, COORD start,
                                            LPDWORD written) {
    return Fill(output, FillPart::Attribute, attribute, length, start, written);
}

STANDIN_API BOOL WriteConsoleOutputA(HANDLE output, const CHAR_INFO *cells, COORD cellsSize, COORD cellsOrigin,
                                     PSMALL_RECT region) {
    if (DWORD error = CheckCallerArray(output, cells, true, region)) return Fail(error);
    // The region is checked and trimmed to the caller's cells before the
    // handle is looked at, so a bad handle still hands back the trimmed region.
    SMALL_RECT trimmed = *region;
    if (DWORD error = TrimToCells(cellsSize, cellsOrigin, trimmed)) return Fail(error);
    *region = trimmed;
    return ChangingScreen(output, [&](ConsoleCore &, ScreenBuffer &buffer) {
        WriteBlock(buffer, cells, cellsSize, cellsOrigin, *region);
        return TRUE;
    });
}

// Reads refuse what writes accept: a region that the caller's cells cannot
// hold fails with ERROR_INVALID_FUNCTION, one wholly off the buffer with
// ERROR_INVALID_PARAMETER, and either way the region comes back empty.
STANDIN_API BOOL ReadConsoleOutputA(HANDLE output, PCHAR_INFO cells, COORD cellsSize, COORD cellsOrigin,
                                    PSMALL_RECT region) {
    if (DWORD error = CheckCallerArray(output, cells, true, region)) return Fail(error);
    SMALL_RECT trimmed = *region;
    if (TrimToCells(cellsSize, cellsOrigin, trimmed) != ERROR_SUCCESS) {
        *region = EmptyRegion(*region);
        return Fail(ERROR_INVALID_FUNCTION);
    }
    *region = trimmed;
    return ReadingScreen(output, [&](ConsoleCore &, ScreenBuffer &buffer) {
        if (!ReadBlock(buffer, cells, cellsSize, cellsOrigin, *region)) {
            *region = EmptyRegion(*region);
            return Fail(ERROR_INVALID_PARAMETER);
        }
        return TRUE;
    });
}

STANDIN_API BOOL ScrollConsoleScreenBufferA(HANDLE output, const SMALL_RECT *scroll, const SMALL_RECT *clip,
                                            COORD destination, const CHAR_INFO *fill) {
    return ChangingScreen(output, [&](ConsoleCore &, ScreenBuffer &buffer) {
        if (scroll == nullptr || fill == nullptr) return Fail(ERROR_NOACCESS);
        ScrollBlock(buffer, *scroll, clip, destination, *fill);
        return TRUE;
    });
}
