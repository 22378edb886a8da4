// The screen operations: the text writer with its own wrapping and deferred
// scroll, line ends, clearing, and cursor moves. Positions are the console's
// own 16-bit ones, so buffers of any size the console allows are served.
#include "demo/console.h"
#include "demo/pace.h"

#include "runtime/strings.h"

namespace {

const unsigned char SixteenSpaces[16] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
                                         ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};

// Cells in the text writer's row buffer; a row segment never has more.
constexpr std::uint32_t kRowCells = 256;

struct Screen {
    std::int32_t width, height;  // the whole buffer, not only the window
    std::int32_t column, row;    // the cursor, 0-based
};

// Read afresh each time: the console's cursor is the only output position.
bool ReadScreen(Screen &screen) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(Console.screen, &info)) return false;
    screen = Screen{info.dwSize.X, info.dwSize.Y, info.dwCursorPosition.X, info.dwCursorPosition.Y};
    return screen.width > 0 && screen.height > 0;
}

WORD CurrentAttribute() {
    return static_cast<WORD>(Console.backgroundColour * 16 + Console.foregroundColour);
}

}  // namespace

void WriteBytes(const unsigned char *bytes, std::uint32_t count) {
    CHAR_INFO row[kRowCells];
    WORD attribute = CurrentAttribute();
    Screen screen;
    if (!ReadScreen(screen)) return;
    std::int32_t x = screen.column, y = screen.row;
    while (count > 0) {
        if (Console.pendingScroll != kNoScrollOwed) {
            Console.pendingScroll = kNoScrollOwed;
            ScrollUpOneLine();
        }
        std::uint32_t n = static_cast<std::uint32_t>(screen.width - x);
        if (n > count) n = count;
        if (n > kRowCells) n = kRowCells;
        for (std::uint32_t i = 0; i < n; ++i) {
            row[i].Char.UnicodeChar = bytes[i];  // the byte, then a zero byte
            row[i].Attributes = attribute;
        }
        COORD rowSize{static_cast<SHORT>(n), 1};
        COORD rowOrigin{0, 0};
        SMALL_RECT target{static_cast<SHORT>(x), static_cast<SHORT>(y), static_cast<SHORT>(x + n - 1),
                          static_cast<SHORT>(y)};
        WriteConsoleOutputA(Console.screen, row, rowSize, rowOrigin, &target);
        bytes += n;
        count -= n;
        x += static_cast<std::int32_t>(n);
        if (x == screen.width) {
            x = 0;
            // On the last row the scroll is owed, not made: the cursor may
            // stay on the text just written until something else comes.
            if (y + 1 == screen.height) Console.pendingScroll = kScrollOwed;
            else ++y;
        }
    }
    std::uint8_t owed = Console.pendingScroll;
    MoveCursor(x + 1, y + 1);
    Console.pendingScroll = owed;
}

void WriteSpaces(std::uint32_t count) {
    while (count > 0) {
        std::uint32_t k = count < 16 ? count : 16;
        WriteBytes(SixteenSpaces, k);
        count -= k;
    }
}

void WriteText(CallFrame &frame) {
    StringBytes text = StringData(TopEntry(frame));
    if (text.count != 0) WriteBytes(text.data, text.count);
    PopAndFree(frame);
}

void WriteLineEnd() {
    Screen screen;
    if (!ReadScreen(screen)) return;
    if (screen.row + 1 == screen.height) {
        std::uint8_t owed = Console.pendingScroll;
        Console.pendingScroll = kNoScrollOwed;
        if (owed != kNoScrollOwed) ScrollUpOneLine();
        ScrollUpOneLine();
        MoveCursor(1, screen.row + 1);
    } else {
        MoveCursor(1, screen.row + 2);
    }
}

void MoveCursor(std::int32_t column, std::int32_t row) {
    Screen screen;
    if (!ReadScreen(screen)) return;
    std::int32_t wasColumn = screen.column + 1, wasRow = screen.row + 1;
    if (column < 1 || column > screen.width) column = wasColumn;
    if (row < 1 || row > screen.height) row = wasRow;
    SetConsoleCursorPosition(Console.screen, COORD{static_cast<SHORT>(column - 1), static_cast<SHORT>(row - 1)});
    Console.pendingScroll = kNoScrollOwed;
    if (row < wasRow) PauseAfterUpwardMove();
}

void ScrollUpOneLine() {
    Screen screen;
    if (!ReadScreen(screen)) return;
    SMALL_RECT everythingButTheTop{0, 1, static_cast<SHORT>(screen.width - 1), static_cast<SHORT>(screen.height - 1)};
    CHAR_INFO blank;
    blank.Char.UnicodeChar = ' ';
    blank.Attributes = CurrentAttribute();
    ScrollConsoleScreenBufferA(Console.screen, &everythingButTheTop, nullptr, COORD{0, 0}, &blank);
}

void ClearScreen() {
    Screen screen;
    if (!ReadScreen(screen)) return;
    SuspendCursor();
    DWORD count = static_cast<DWORD>(screen.width) * static_cast<DWORD>(screen.height);
    DWORD written;
    FillConsoleOutputCharacterA(Console.screen, ' ', count, COORD{0, 0}, &written);
    FillConsoleOutputAttribute(Console.screen, CurrentAttribute(), count, COORD{0, 0}, &written);
    MoveCursor(1, 1);
    for (int i = 0; i < kClearRewrites; ++i) WriteSpaces(kClearRewriteSpaces);
    MoveCursor(1, 1);
    ResumeCursor();
}
