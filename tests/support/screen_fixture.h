// A fixture for tests of the program's screen: each test makes a screen
// buffer of its own of the size it needs, points the console state at it,
// and reads cells and the cursor back through the console's own functions.
#pragma once

#include <string>
#include <vector>

#include "demo/console.h"
#include "platform/windows.h"
#include "tests/support/string_fixture.h"

class ScreenTest : public StringTest {
protected:
    void SetUp() override {
        StringTest::SetUp();
        saved_ = Console;
        InitialiseConsoleState();
    }

    void TearDown() override {
        for (HANDLE h : buffers_) CloseHandle(h);
        Console = saved_;
        StringTest::TearDown();
    }

    // A new, inactive screen buffer of width x height, blank, cursor at the
    // top left, which the console state writes through from now on.
    HANDLE MakeScreen(int width, int height) {
        HANDLE h = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             CONSOLE_TEXTMODE_BUFFER, nullptr);
        EXPECT_NE(h, INVALID_HANDLE_VALUE) << "CreateConsoleScreenBuffer, error " << GetLastError();
        buffers_.push_back(h);
        // A buffer may not be smaller than its window, so the window shrinks first.
        SMALL_RECT oneCell{0, 0, 0, 0};
        EXPECT_TRUE(SetConsoleWindowInfo(h, TRUE, &oneCell)) << "error " << GetLastError();
        EXPECT_TRUE(SetConsoleScreenBufferSize(h, COORD{static_cast<SHORT>(width), static_cast<SHORT>(height)}))
            << width << "x" << height << ", error " << GetLastError();
        Console.screen = h;
        EXPECT_TRUE(GetConsoleCursorInfo(h, &Console.cursor));
        width_ = width;
        height_ = height;
        return h;
    }

    // Rows [top, top + count) as cells, read in slices that the console takes in one call.
    std::vector<CHAR_INFO> Cells(int top, int count) const {
        std::vector<CHAR_INFO> cells(static_cast<std::size_t>(width_) * count);
        int rowsPerRead = 16384 / width_ > 0 ? 16384 / width_ : 1;
        for (int done = 0; done < count; done += rowsPerRead) {
            int rows = count - done < rowsPerRead ? count - done : rowsPerRead;
            SMALL_RECT region{0, static_cast<SHORT>(top + done), static_cast<SHORT>(width_ - 1),
                              static_cast<SHORT>(top + done + rows - 1)};
            EXPECT_TRUE(ReadConsoleOutputA(Console.screen, &cells[static_cast<std::size_t>(done) * width_],
                                           COORD{static_cast<SHORT>(width_), static_cast<SHORT>(rows)}, COORD{0, 0},
                                           &region))
                << "error " << GetLastError();
        }
        return cells;
    }

    // The characters of one row (0-based).
    std::string Row(int y) const {
        std::string text;
        for (const CHAR_INFO &cell : Cells(y, 1)) text += cell.Char.AsciiChar;
        return text;
    }

    std::vector<WORD> Attributes(int y) const {
        std::vector<WORD> attributes;
        for (const CHAR_INFO &cell : Cells(y, 1)) attributes.push_back(cell.Attributes);
        return attributes;
    }

    COORD Cursor() const {
        CONSOLE_SCREEN_BUFFER_INFO info{};
        EXPECT_TRUE(GetConsoleScreenBufferInfo(Console.screen, &info));
        return info.dwCursorPosition;
    }

    CONSOLE_CURSOR_INFO CursorShape() const {
        CONSOLE_CURSOR_INFO info{};
        EXPECT_TRUE(GetConsoleCursorInfo(Console.screen, &info));
        return info;
    }

    void PlaceCursor(int x, int y) { EXPECT_TRUE(SetConsoleCursorPosition(Console.screen, Coord(x, y))); }

    // Fills the whole buffer with one character in one attribute.
    void Paint(char character, WORD attribute) {
        DWORD written;
        DWORD count = static_cast<DWORD>(width_) * height_;
        EXPECT_TRUE(FillConsoleOutputCharacterA(Console.screen, character, count, COORD{0, 0}, &written));
        EXPECT_TRUE(FillConsoleOutputAttribute(Console.screen, attribute, count, COORD{0, 0}, &written));
    }

    // WriteText with an owned copy of the bytes on the temporary stack.
    void Write(const std::string &bytes) {
        CallFrame frame{};
        PushOwned(frame, MakeString(bytes));
        WriteText(frame);
        EXPECT_EQ(frame.temporaryDepth, 0u);
    }

    static COORD Coord(int x, int y) { return COORD{static_cast<SHORT>(x), static_cast<SHORT>(y)}; }
    static std::string Blank(int n) { return std::string(static_cast<std::size_t>(n), ' '); }

    int width_ = 0;
    int height_ = 0;

private:
    ConsoleState saved_{};
    std::vector<HANDLE> buffers_;
};

inline bool operator==(COORD a, COORD b) { return a.X == b.X && a.Y == b.Y; }
inline std::ostream &operator<<(std::ostream &out, COORD c) { return out << "(" << c.X << "," << c.Y << ")"; }
