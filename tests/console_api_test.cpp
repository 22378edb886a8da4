// The console functions themselves as Windows defines them, on the stand-in
// and on Wine alike: return value, last error, cells and cursor read back,
// and outputs left alone when a call fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/windows.h"
#include "tests/support/child_run.h"
#include "tests/support/row_label.h"
#include "tests/support/wine_departures.h"

// Found by argument lookup, so they live beside the record's own namespace.
static bool operator==(const SMALL_RECT &a, const SMALL_RECT &b) {
    return a.Left == b.Left && a.Top == b.Top && a.Right == b.Right && a.Bottom == b.Bottom;
}

static std::ostream &operator<<(std::ostream &out, const SMALL_RECT &r) {
    return out << "(" << r.Left << "," << r.Top << ")-(" << r.Right << "," << r.Bottom << ")";
}

namespace {

constexpr DWORD kSentinel = 0xDEADBEEF;

class ConsoleApiTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (HANDLE h : handles_) CloseHandle(h);
    }

    HANDLE Keep(HANDLE h) {
        EXPECT_NE(h, INVALID_HANDLE_VALUE) << "error " << GetLastError();
        handles_.push_back(h);
        return h;
    }

    HANDLE NewBuffer(DWORD access = GENERIC_READ | GENERIC_WRITE) {
        return Keep(CreateConsoleScreenBuffer(access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                              CONSOLE_TEXTMODE_BUFFER, nullptr));
    }

    // A blank buffer of exactly width x height.
    HANDLE Buffer(int width, int height) {
        HANDLE h = NewBuffer();
        SMALL_RECT oneCell{0, 0, 0, 0};
        EXPECT_TRUE(SetConsoleWindowInfo(h, TRUE, &oneCell));
        EXPECT_TRUE(SetConsoleScreenBufferSize(h, At(width, height))) << "error " << GetLastError();
        return h;
    }

    HANDLE Input() {
        return Keep(CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    }

    static COORD At(int x, int y) { return COORD{static_cast<SHORT>(x), static_cast<SHORT>(y)}; }

    static SMALL_RECT Rect(int left, int top, int right, int bottom) {
        return SMALL_RECT{static_cast<SHORT>(left), static_cast<SHORT>(top), static_cast<SHORT>(right),
                          static_cast<SHORT>(bottom)};
    }

    static CHAR_INFO Cell(char c, WORD attribute = 7) {
        CHAR_INFO cell{};
        cell.Char.AsciiChar = c;
        cell.Attributes = attribute;
        return cell;
    }

    static CONSOLE_SCREEN_BUFFER_INFO Info(HANDLE h) {
        CONSOLE_SCREEN_BUFFER_INFO info{};
        EXPECT_TRUE(GetConsoleScreenBufferInfo(h, &info));
        return info;
    }

    // The characters of cells [x, x + count) of row y.
    static std::string Chars(HANDLE h, int y, int x = 0, int count = -1) {
        if (count < 0) count = Info(h).dwSize.X - x;
        std::vector<CHAR_INFO> cells(static_cast<std::size_t>(count));
        SMALL_RECT region = Rect(x, y, x + count - 1, y);
        EXPECT_TRUE(ReadConsoleOutputA(h, cells.data(), At(count, 1), At(0, 0), &region));
        std::string text;
        for (const CHAR_INFO &cell : cells) text += cell.Char.AsciiChar;
        return text;
    }

    static WORD AttributeAt(HANDLE h, int x, int y) {
        CHAR_INFO cell{};
        SMALL_RECT region = Rect(x, y, x, y);
        EXPECT_TRUE(ReadConsoleOutputA(h, &cell, At(1, 1), At(0, 0), &region));
        return cell.Attributes;
    }

    static void Rows(HANDLE h, const std::vector<std::string> &rows) {
        DWORD written;
        for (std::size_t y = 0; y < rows.size(); ++y)
            for (std::size_t x = 0; x < rows[y].size(); ++x)
                FillConsoleOutputCharacterA(h, rows[y][x], 1, At(static_cast<int>(x), static_cast<int>(y)), &written);
    }

    static std::vector<std::string> AllRows(HANDLE h) {
        std::vector<std::string> rows;
        for (int y = 0; y < Info(h).dwSize.Y; ++y) rows.push_back(Chars(h, y));
        return rows;
    }

    static void ExpectFailure(BOOL result, DWORD error) {
        EXPECT_FALSE(result);
        EXPECT_EQ(GetLastError(), error);
    }

private:
    std::vector<HANDLE> handles_;
};

INPUT_RECORD Key(char c) {
    INPUT_RECORD record{};
    record.EventType = KEY_EVENT;
    record.Event.KeyEvent.bKeyDown = TRUE;
    record.Event.KeyEvent.wRepeatCount = 1;
    record.Event.KeyEvent.uChar.AsciiChar = c;
    return record;
}

}  // namespace

// --- fills

TEST_F(ConsoleApiTest, FillsWrapRowByRowStopAtTheEndAndReportTheCellsFilled) {
    HANDLE h = Buffer(10, 3);
    DWORD written = kSentinel;
    ASSERT_TRUE(FillConsoleOutputCharacterA(h, 'y', 5, At(8, 0), &written));
    EXPECT_EQ(written, 5u);
    ASSERT_TRUE(FillConsoleOutputCharacterA(h, 'x', 10, At(8, 2), &written));
    EXPECT_EQ(written, 2u);
    ASSERT_TRUE(FillConsoleOutputCharacterA(h, 'z', 0, At(0, 2), &written));
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(AllRows(h), (std::vector<std::string>{"        yy", "yyy       ", "        xx"}));
}

TEST_F(ConsoleApiTest, ACharacterFillKeepsAttributesAndAnAttributeFillKeepsCharacters) {
    HANDLE h = Buffer(10, 2);
    DWORD written;
    ASSERT_TRUE(FillConsoleOutputAttribute(h, 0x4E, 20, At(0, 0), &written));
    ASSERT_TRUE(FillConsoleOutputCharacterA(h, 'k', 4, At(3, 1), &written));
    ASSERT_TRUE(FillConsoleOutputAttribute(h, 0xFFFF, 2, At(4, 1), &written));
    EXPECT_EQ(Chars(h, 1), "   kkkk   ");
    EXPECT_EQ(AttributeAt(h, 3, 1), 0x4E);
    EXPECT_EQ(AttributeAt(h, 4, 1), 0xFFFF) << "any WORD is an attribute";
    EXPECT_EQ(AttributeAt(h, 6, 1), 0x4E);
}

TEST_F(ConsoleApiTest, FillStartingOutsideTheBufferFillsNothing) {
    SKIP_ON_WINE(WineDeparture::FillStartOutsideBuffer);
    HANDLE h = Buffer(10, 3);
    for (COORD start : {At(10, 0), At(-1, 1), At(0, 3), At(0, -1)}) {
        const std::string row = RowLabel(start.X, ",", start.Y);
        DWORD written = kSentinel;
        EXPECT_TRUE(FillConsoleOutputCharacterA(h, 'x', 5, start, &written)) << row;
        EXPECT_EQ(written, 0u) << row;
    }
    EXPECT_EQ(AllRows(h), (std::vector<std::string>(3, std::string(10, ' '))));
}

// --- block writes and reads

TEST_F(ConsoleApiTest, BlockWritesAreTrimmedToTheCallersCellsThenToTheBuffer) {
    HANDLE h = Buffer(20, 15);
    std::vector<CHAR_INFO> cells;
    for (int i = 0; i < 16 * 17; ++i) cells.push_back(Cell(static_cast<char>('A' + i % 26)));
    struct Case {
        COORD size, origin;
        SMALL_RECT region, trimmed;
    };
    const Case cases[] = {
        {At(6, 17), At(2, 3), Rect(10, 7, 15, 11), Rect(10, 7, 13, 11)},
        {At(16, 7), At(2, 3), Rect(10, 7, 15, 11), Rect(10, 7, 15, 10)},
        {At(16, 7), At(0, 0), Rect(18, 7, 22, 7), Rect(18, 7, 19, 7)},
        {At(3, 3), At(0, 0), Rect(2, 14, 4, 16), Rect(2, 14, 4, 14)},
    };
    for (const Case &c : cases) {
        const std::string row = RowLabel(c.region);
        SMALL_RECT region = c.region;
        ASSERT_TRUE(WriteConsoleOutputA(h, cells.data(), c.size, c.origin, &region)) << row;
        EXPECT_EQ(region, c.trimmed) << row;
        // The bottom right cell written comes from the matching source cell.
        int sourceX = c.origin.X + (c.trimmed.Right - c.trimmed.Left);
        int sourceY = c.origin.Y + (c.trimmed.Bottom - c.trimmed.Top);
        EXPECT_EQ(Chars(h, c.trimmed.Bottom, c.trimmed.Right, 1)[0],
                  cells[static_cast<std::size_t>(sourceY) * c.size.X + sourceX].Char.AsciiChar) << row;
    }
    EXPECT_EQ(Info(h).dwCursorPosition.X, 0) << "block writes leave the cursor";
}

TEST_F(ConsoleApiTest, InvertedRegionOrOriginOutsideTheCellsIsRefusedAndChangesNothing) {
    SKIP_ON_WINE(WineDeparture::BlockWriteBadRegionAccepted);
    HANDLE h = Buffer(10, 3);
    CHAR_INFO cells[4] = {Cell('a'), Cell('b'), Cell('c'), Cell('d')};
    struct Case {
        COORD origin;
        SMALL_RECT region;
    };
    const Case cases[] = {{At(0, 0), Rect(3, 0, 2, 0)}, {At(0, 0), Rect(0, 1, 1, 0)}, {At(2, 0), Rect(0, 0, 1, 1)},
                          {At(0, 2), Rect(0, 0, 1, 1)}, {At(-1, 0), Rect(0, 0, 1, 1)}};
    for (const Case &c : cases) {
        const std::string row = RowLabel(c.region);
        SMALL_RECT region = c.region;
        SetLastError(kSentinel);
        ExpectFailure(WriteConsoleOutputA(h, cells, At(2, 2), c.origin, &region), ERROR_INVALID_PARAMETER);
        EXPECT_EQ(region, c.region) << row;
    }
    EXPECT_EQ(AllRows(h), (std::vector<std::string>(3, std::string(10, ' '))));
}

TEST_F(ConsoleApiTest, BlockWriteLeftOfTheBufferWritesTheOverlap) {
    SKIP_ON_WINE(WineDeparture::BlockWriteLeftOfBuffer);
    HANDLE h = Buffer(10, 3);
    CHAR_INFO cells[8] = {Cell('a'), Cell('b'), Cell('c'), Cell('d'), Cell('e'), Cell('f'), Cell('g'), Cell('h')};
    SMALL_RECT region = Rect(-2, -1, 1, 0);
    ASSERT_TRUE(WriteConsoleOutputA(h, cells, At(4, 2), At(0, 0), &region));
    EXPECT_EQ(region, Rect(0, 0, 1, 0));
    EXPECT_EQ(Chars(h, 0), "gh        ");
}

TEST_F(ConsoleApiTest, BlockReadsGiveBackWhatWasWrittenAndClipAtTheRightEdge) {
    HANDLE h = Buffer(10, 3);
    CHAR_INFO row[5] = {Cell('v', 0x12), Cell('w', 0x34), Cell('x', 0x56), Cell('y'), Cell('z')};
    SMALL_RECT region = Rect(7, 1, 11, 1);
    ASSERT_TRUE(WriteConsoleOutputA(h, row, At(5, 1), At(0, 0), &region));
    CHAR_INFO back[5] = {Cell('-'), Cell('-'), Cell('-'), Cell('-'), Cell('-')};
    region = Rect(7, 1, 11, 1);
    ASSERT_TRUE(ReadConsoleOutputA(h, back, At(5, 1), At(0, 0), &region));
    EXPECT_EQ(region, Rect(7, 1, 9, 1));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(back[i].Char.AsciiChar, row[i].Char.AsciiChar);
        EXPECT_EQ(back[i].Attributes, row[i].Attributes);
    }
    EXPECT_EQ(back[3].Char.AsciiChar, '-') << "cells for positions off the buffer stay as they were";
}

// --- scrolling

TEST_F(ConsoleApiTest, ScrollsMoveTheRectangleAndFillWhatItUncovers) {
    struct Case {
        const char *name;
        SMALL_RECT scroll;
        bool clipped;
        SMALL_RECT clip;
        COORD destination;
        std::vector<std::string> rows;
    };
    const Case cases[] = {
        {"one line up", Rect(0, 1, 4, 2), false, {}, At(0, 0), {"bbbbb", "ccccc", "-----"}},
        {"one line down", Rect(0, 0, 4, 1), false, {}, At(0, 1), {"-----", "aaaaa", "bbbbb"}},
        {"right within a row", Rect(0, 0, 3, 0), false, {}, At(1, 0), {"-aaaa", "bbbbb", "ccccc"}},
        {"left within a row", Rect(1, 1, 4, 1), false, {}, At(0, 1), {"aaaaa", "bbbb-", "ccccc"}},
        {"clip trims move and fill", Rect(0, 1, 4, 2), true, Rect(0, 0, 2, 2), At(0, 0),
         {"bbbaa", "cccbb", "---cc"}},
    };
    for (const Case &c : cases) {
        const std::string row = RowLabel(c.name);
        HANDLE h = Buffer(5, 3);
        Rows(h, {"aaaaa", "bbbbb", "ccccc"});
        CHAR_INFO fill = Cell('-', 0x1E);
        ASSERT_TRUE(ScrollConsoleScreenBufferA(h, &c.scroll, c.clipped ? &c.clip : nullptr, c.destination, &fill)) << row;
        EXPECT_EQ(AllRows(h), c.rows) << row;
    }
}

TEST_F(ConsoleApiTest, ScrollFillTakesTheFillCellsAttribute) {
    HANDLE h = Buffer(5, 3);
    SMALL_RECT scroll = Rect(0, 1, 4, 2);
    CHAR_INFO fill = Cell(' ', 0x1E);
    ASSERT_TRUE(ScrollConsoleScreenBufferA(h, &scroll, nullptr, At(0, 0), &fill));
    EXPECT_EQ(AttributeAt(h, 4, 2), 0x1E);
    EXPECT_EQ(AttributeAt(h, 4, 1), 7);
}

TEST_F(ConsoleApiTest, ScrollToADestinationPartlyOffTheBufferMovesWhatLandsOnIt) {
    HANDLE h = Buffer(50, 30);
    DWORD written;
    for (SHORT y = 0; y < 20; ++y) FillConsoleOutputCharacterA(h, static_cast<char>('A' + y), 20, At(0, y), &written);
    SMALL_RECT scroll = Rect(0, 0, 19, 19);
    CHAR_INFO fill = Cell('.');
    ASSERT_TRUE(ScrollConsoleScreenBufferA(h, &scroll, nullptr, At(10, 15), &fill));
    EXPECT_EQ(Chars(h, 15, 10, 20), std::string(20, 'A'));
    EXPECT_EQ(Chars(h, 29, 10, 20), std::string(20, 'O'));
    EXPECT_EQ(Chars(h, 0, 0, 21), std::string(20, '.') + " ") << "what the source left is filled";
    EXPECT_EQ(Chars(h, 15, 0, 10), std::string(10, '.'));
}

TEST_F(ConsoleApiTest, ScrollOfARectanglePartlyOutsideTheBufferIsClipped) {
    SKIP_ON_WINE(WineDeparture::ScrollSourceOutsideBuffer);
    HANDLE h = Buffer(5, 3);
    Rows(h, {"aaaaa", "bbbbb", "ccccc"});
    CHAR_INFO fill = Cell('-');
    SMALL_RECT scroll = Rect(-2, 1, 4, 5);
    ASSERT_TRUE(ScrollConsoleScreenBufferA(h, &scroll, nullptr, At(-2, 0), &fill));
    EXPECT_EQ(AllRows(h), (std::vector<std::string>{"bbbbb", "ccccc", "-----"}));
    SMALL_RECT nowhere = Rect(0, 3, 4, 2);
    EXPECT_TRUE(ScrollConsoleScreenBufferA(h, &nowhere, nullptr, At(0, 0), &fill));
    EXPECT_EQ(AllRows(h), (std::vector<std::string>{"bbbbb", "ccccc", "-----"}));
}

TEST_F(ConsoleApiTest, ScrollFillOfZeroMeansASpaceInTheBuffersAttributes) {
    SKIP_ON_WINE(WineDeparture::ScrollNulFill);
    HANDLE h = Buffer(5, 3);
    Rows(h, {"aaaaa", "bbbbb", "ccccc"});
    SMALL_RECT scroll = Rect(0, 1, 4, 2);
    CHAR_INFO fill = Cell('\0', 0);
    ASSERT_TRUE(ScrollConsoleScreenBufferA(h, &scroll, nullptr, At(0, 0), &fill));
    EXPECT_EQ(Chars(h, 2), "     ");
    EXPECT_EQ(AttributeAt(h, 0, 2), Info(h).wAttributes);
}

// --- cursor, size and window

TEST_F(ConsoleApiTest, CursorSizeMustBeFrom1To100AndVisibilityReadsBackAs0Or1) {
    HANDLE h = Buffer(10, 3);
    struct Case {
        CONSOLE_CURSOR_INFO set;
        bool accepted;
        CONSOLE_CURSOR_INFO read;
    };
    const Case cases[] = {{{0, TRUE}, false, {40, FALSE}},   {{1, TRUE}, true, {1, TRUE}},
                          {{100, FALSE}, true, {100, FALSE}}, {{101, TRUE}, false, {40, FALSE}},
                          {{50, 5}, true, {50, TRUE}}};
    for (const Case &c : cases) {
        const std::string row = RowLabel(c.set.dwSize, " ", c.set.bVisible);
        CONSOLE_CURSOR_INFO start{40, FALSE};
        ASSERT_TRUE(SetConsoleCursorInfo(h, &start)) << row;
        SetLastError(kSentinel);
        EXPECT_EQ(SetConsoleCursorInfo(h, &c.set), c.accepted ? TRUE : FALSE) << row;
        if (!c.accepted) {
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << row;
        }
        CONSOLE_CURSOR_INFO read{};
        ASSERT_TRUE(GetConsoleCursorInfo(h, &read)) << row;
        EXPECT_EQ(read.dwSize, c.read.dwSize) << row;
        EXPECT_EQ(read.bVisible, c.read.bVisible) << row;
    }
}

TEST_F(ConsoleApiTest, CursorPositionMustLieInsideTheBuffer) {
    HANDLE h = Buffer(10, 5);
    struct Case {
        COORD position;
        bool accepted;
    };
    const Case cases[] = {{At(0, 0), true},   {At(9, 4), true},  {At(10, 0), false},
                          {At(0, 5), false}, {At(-1, 0), false}, {At(0, -1), false}};
    for (const Case &c : cases) {
        const std::string row = RowLabel(c.position.X, ",", c.position.Y);
        ASSERT_TRUE(SetConsoleCursorPosition(h, At(3, 2))) << row;
        SetLastError(kSentinel);
        EXPECT_EQ(SetConsoleCursorPosition(h, c.position), c.accepted ? TRUE : FALSE) << row;
        COORD now = Info(h).dwCursorPosition;
        COORD expected = c.accepted ? c.position : At(3, 2);
        EXPECT_EQ(now.X, expected.X) << row;
        EXPECT_EQ(now.Y, expected.Y) << row;
        if (!c.accepted) {
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << row;
        }
    }
}

TEST_F(ConsoleApiTest, TheWindowFollowsTheCursor) {
    HANDLE h = Buffer(300, 9001);
    SMALL_RECT window = Rect(0, 0, 9, 4);
    ASSERT_TRUE(SetConsoleWindowInfo(h, TRUE, &window));
    ASSERT_TRUE(SetConsoleCursorPosition(h, At(299, 9000)));
    EXPECT_EQ(Info(h).srWindow, Rect(290, 8996, 299, 9000));
    ASSERT_TRUE(SetConsoleCursorPosition(h, At(0, 0)));
    EXPECT_EQ(Info(h).srWindow, Rect(0, 0, 9, 4));
}

TEST_F(ConsoleApiTest, ResizingKeepsTheCellsThatRemainBlanksTheNewOnesAndClampsTheCursor) {
    HANDLE h = Buffer(6, 3);
    Rows(h, {"abcdef", "ghijkl", "mnopqr"});
    ASSERT_TRUE(SetConsoleCursorPosition(h, At(5, 2)));
    ASSERT_TRUE(SetConsoleScreenBufferSize(h, At(4, 2)));
    EXPECT_EQ(AllRows(h), (std::vector<std::string>{"abcd", "ghij"}));
    COORD cursor = Info(h).dwCursorPosition;
    EXPECT_EQ(cursor.X, 3);
    EXPECT_EQ(cursor.Y, 1);
    ASSERT_TRUE(SetConsoleScreenBufferSize(h, At(5, 3)));
    EXPECT_EQ(AllRows(h), (std::vector<std::string>{"abcd ", "ghij ", "     "}));
}

TEST_F(ConsoleApiTest, ABufferMayNotBeSmallerThanItsWindow) {
    HANDLE h = Buffer(20, 10);
    SMALL_RECT window = Rect(0, 0, 9, 4);
    ASSERT_TRUE(SetConsoleWindowInfo(h, TRUE, &window));
    SetLastError(kSentinel);
    ExpectFailure(SetConsoleScreenBufferSize(h, At(9, 10)), ERROR_INVALID_PARAMETER);
    ExpectFailure(SetConsoleScreenBufferSize(h, At(20, 4)), ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(SetConsoleScreenBufferSize(h, At(10, 5))) << "equal to the window is fine";
    SMALL_RECT outside = Rect(5, 0, 10, 4);
    ExpectFailure(SetConsoleWindowInfo(h, TRUE, &outside), ERROR_INVALID_PARAMETER);
}

TEST_F(ConsoleApiTest, BufferSidesOf32767AndUnknownOutputModeBitsAreRefused) {
    SKIP_ON_WINE(WineDeparture::LimitsNotChecked);
    HANDLE h = Buffer(20, 10);
    ExpectFailure(SetConsoleScreenBufferSize(h, At(32767, 10)), ERROR_INVALID_PARAMETER);
    ExpectFailure(SetConsoleScreenBufferSize(h, At(20, 32767)), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Info(h).dwSize.X, 20);
    ASSERT_TRUE(SetConsoleMode(h, ENABLE_PROCESSED_OUTPUT));
    ExpectFailure(SetConsoleMode(h, 0x100 | ENABLE_WRAP_AT_EOL_OUTPUT), ERROR_INVALID_PARAMETER);
    DWORD mode = 0;
    ASSERT_TRUE(GetConsoleMode(h, &mode));
    EXPECT_EQ(mode, static_cast<DWORD>(ENABLE_PROCESSED_OUTPUT)) << "a refused output mode is not applied";
}

TEST_F(ConsoleApiTest, AnInputModeWithEchoButNoLinesIsAppliedAndStillReportedWrong) {
    SKIP_ON_WINE(WineDeparture::LimitsNotChecked);
    HANDLE in = Input();
    DWORD before = 0;
    ASSERT_TRUE(GetConsoleMode(in, &before));
    ExpectFailure(SetConsoleMode(in, ENABLE_ECHO_INPUT), ERROR_INVALID_PARAMETER);
    DWORD mode = 0;
    ASSERT_TRUE(GetConsoleMode(in, &mode));
    EXPECT_EQ(mode, static_cast<DWORD>(ENABLE_ECHO_INPUT));
    SetConsoleMode(in, before);
}

// --- screen buffers and handles

TEST_F(ConsoleApiTest, NewBufferIsBlankAsLargeAsTheActiveWindowWithTheCursorHomeAt25Percent) {
    HANDLE active = Keep(CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, 0, nullptr));
    SMALL_RECT window = Info(active).srWindow;
    HANDLE h = NewBuffer();
    CONSOLE_SCREEN_BUFFER_INFO info = Info(h);
    EXPECT_EQ(info.dwSize.X, window.Right - window.Left + 1);
    EXPECT_EQ(info.dwSize.Y, window.Bottom - window.Top + 1);
    EXPECT_EQ(info.dwCursorPosition.X, 0);
    EXPECT_EQ(info.dwCursorPosition.Y, 0);
    CONSOLE_CURSOR_INFO cursor{};
    ASSERT_TRUE(GetConsoleCursorInfo(h, &cursor));
    EXPECT_EQ(cursor.dwSize, 25u);
    EXPECT_EQ(cursor.bVisible, TRUE);
    EXPECT_EQ(Chars(h, info.dwSize.Y - 1), std::string(info.dwSize.X, ' '));
}

TEST_F(ConsoleApiTest, OnlyTextModeBuffersCanBeMade) {
    SetLastError(kSentinel);
    EXPECT_EQ(CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, 0, nullptr, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(ConsoleApiTest, ConoutOpensTheActiveBufferAndActivationNeedsWriteAccess) {
    HANDLE original = Keep(CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, 0, nullptr));
    HANDLE readOnly = NewBuffer(GENERIC_READ);
    SetLastError(kSentinel);
    ExpectFailure(SetConsoleActiveScreenBuffer(readOnly), ERROR_INVALID_HANDLE);

    HANDLE h = NewBuffer();
    DWORD written;
    ASSERT_TRUE(FillConsoleOutputCharacterA(h, 'Q', 3, At(0, 0), &written));
    ASSERT_TRUE(SetConsoleActiveScreenBuffer(h));
    HANDLE conout = Keep(CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_EQ(Chars(conout, 0, 0, 4), "QQQ ");
    EXPECT_TRUE(SetConsoleActiveScreenBuffer(original));
}

TEST_F(ConsoleApiTest, CallsOnTheWrongKindOfHandleFailWith6AndLeaveTheirOutputsAlone) {
    HANDLE in = Input();
    HANDLE out = Buffer(10, 3);
    for (HANDLE bad : {static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE, in}) {
        const std::string row = RowLabel(bad == in ? "input handle" : bad == nullptr ? "null" : "invalid");
        CONSOLE_SCREEN_BUFFER_INFO info;
        std::memset(&info, 0x5A, sizeof info);
        SetLastError(kSentinel);
        ExpectFailure(GetConsoleScreenBufferInfo(bad, &info), ERROR_INVALID_HANDLE);
        EXPECT_EQ(info.dwSize.X, 0x5A5A) << row;
        CONSOLE_CURSOR_INFO cursor{7, 7};
        ExpectFailure(GetConsoleCursorInfo(bad, &cursor), ERROR_INVALID_HANDLE);
        EXPECT_EQ(cursor.dwSize, 7u) << row;
        DWORD written = kSentinel;
        ExpectFailure(FillConsoleOutputCharacterA(bad, 'x', 1, At(0, 0), &written), ERROR_INVALID_HANDLE);
        ExpectFailure(SetConsoleCursorPosition(bad, At(0, 0)), ERROR_INVALID_HANDLE);
        CHAR_INFO cell = Cell('x');
        SMALL_RECT region = Rect(0, 0, 0, 0);
        ExpectFailure(WriteConsoleOutputA(bad, &cell, At(1, 1), At(0, 0), &region), ERROR_INVALID_HANDLE);
        SMALL_RECT scroll = Rect(0, 1, 9, 2);
        ExpectFailure(ScrollConsoleScreenBufferA(bad, &scroll, nullptr, At(0, 0), &cell), ERROR_INVALID_HANDLE);
    }
    for (HANDLE bad : {static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE, out}) {
        const std::string row = RowLabel(bad == out ? "output handle" : bad == nullptr ? "null" : "invalid");
        DWORD count = kSentinel;
        ExpectFailure(GetNumberOfConsoleInputEvents(bad, &count), ERROR_INVALID_HANDLE);
        EXPECT_EQ(count, kSentinel) << row;
        INPUT_RECORD record = Key('k');
        ExpectFailure(PeekConsoleInputA(bad, &record, 1, &count), ERROR_INVALID_HANDLE);
        ExpectFailure(WriteConsoleInputA(bad, &record, 1, &count), ERROR_INVALID_HANDLE);
        ExpectFailure(FlushConsoleInputBuffer(bad), ERROR_INVALID_HANDLE);
        EXPECT_EQ(count, kSentinel) << row;
    }
}

TEST_F(ConsoleApiTest, HandleMakersRefuseWhatTheyCannotOpen) {
    SetLastError(kSentinel);
    EXPECT_EQ(GetStdHandle(static_cast<DWORD>(-13)), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    SetLastError(kSentinel);
    EXPECT_FALSE(SetStdHandle(static_cast<DWORD>(-13), nullptr)) << "no standard handle has that number";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    SetLastError(kSentinel);
    EXPECT_EQ(CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, 0, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    HANDLE h = CreateFileA("conin$", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << "device names are not case sensitive";
    EXPECT_TRUE(CloseHandle(h));
    SetLastError(kSentinel);
    ExpectFailure(CloseHandle(h), ERROR_INVALID_HANDLE);
}

// --- the input queue

TEST_F(ConsoleApiTest, InputRecordsComeOutFirstInFirstOutAndPeekRemovesNothing) {
    HANDLE in = Input();
    ASSERT_TRUE(FlushConsoleInputBuffer(in));
    INPUT_RECORD records[3] = {Key('a'), Key('b'), Key('c')};
    DWORD count = kSentinel;
    INPUT_RECORD seen[4]{};
    ASSERT_TRUE(PeekConsoleInputA(in, seen, 4, &count));
    EXPECT_EQ(count, 0u) << "an empty queue peeks nothing and does not wait";
    ASSERT_TRUE(WriteConsoleInputA(in, records, 0, &count));
    EXPECT_EQ(count, 0u);
    ASSERT_TRUE(WriteConsoleInputA(in, records, 3, &count));
    EXPECT_EQ(count, 3u);
    ASSERT_TRUE(GetNumberOfConsoleInputEvents(in, &count));
    EXPECT_EQ(count, 3u);
    ASSERT_TRUE(PeekConsoleInputA(in, seen, 2, &count));
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(seen[1].Event.KeyEvent.uChar.AsciiChar, 'b');
    ASSERT_TRUE(ReadConsoleInputA(in, seen, 2, &count));
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(seen[0].Event.KeyEvent.uChar.AsciiChar, 'a');
    ASSERT_TRUE(ReadConsoleInputA(in, seen, 4, &count));
    EXPECT_EQ(count, 1u) << "a read takes what there is";
    EXPECT_EQ(seen[0].Event.KeyEvent.uChar.AsciiChar, 'c');
    ASSERT_TRUE(WriteConsoleInputA(in, records, 3, &count));
    ASSERT_TRUE(FlushConsoleInputBuffer(in));
    ASSERT_TRUE(GetNumberOfConsoleInputEvents(in, &count));
    EXPECT_EQ(count, 0u);
}

// --- reads that Windows refuses, argument order, and handles beyond the buffers

TEST_F(ConsoleApiTest, BlockReadsTheCellsCannotHoldOrWhollyOffTheBufferFailAndHandBackAnEmptyRegion) {
    HANDLE h = Buffer(20, 15);
    // Windows versions differ in what they hand back: some the region as it
    // was, some an empty one (Right before Left, Bottom above Top); each row
    // lists what they have in common.
    struct Case {
        const char *name;
        COORD size, origin;
        SMALL_RECT region;
        DWORD error, olderError;
        std::vector<int> rights, bottoms;
    };
    const Case cases[] = {
        {"inverted across", At(23, 17), At(2, 3), Rect(10, 7, 9, 11), ERROR_INVALID_FUNCTION, ERROR_NOT_ENOUGH_MEMORY,
         {9}, {11, 6}},
        {"inverted down", At(23, 17), At(2, 3), Rect(10, 7, 11, 6), ERROR_INVALID_FUNCTION, ERROR_NOT_ENOUGH_MEMORY,
         {11, 9}, {6}},
        {"origin right of the cells", At(2, 17), At(2, 3), Rect(10, 7, 15, 11), ERROR_INVALID_FUNCTION,
         ERROR_NOT_ENOUGH_MEMORY, {15, 9}, {11, 6}},
        {"origin below the cells", At(23, 3), At(2, 3), Rect(10, 7, 15, 11), ERROR_INVALID_FUNCTION,
         ERROR_NOT_ENOUGH_MEMORY, {15, 9}, {6}},
        {"right of the buffer", At(23, 17), At(2, 3), Rect(25, 7, 30, 8), ERROR_INVALID_PARAMETER,
         ERROR_INVALID_FUNCTION, {30, 24}, {8, 6}},
        {"below the buffer", At(23, 17), At(0, 0), Rect(0, 15, 4, 16), ERROR_INVALID_PARAMETER,
         ERROR_INVALID_FUNCTION, {4, -1}, {16, 14}},
    };
    for (const Case &c : cases) {
        const std::string row = RowLabel(c.name);
        std::vector<CHAR_INFO> cells(23 * 17, Cell('#', 0x5A));
        SMALL_RECT region = c.region;
        SetLastError(kSentinel);
        EXPECT_FALSE(ReadConsoleOutputA(h, cells.data(), c.size, c.origin, &region)) << row;
        DWORD error = GetLastError();
        EXPECT_TRUE(error == c.error || error == c.olderError) << row << " error " << error;
        EXPECT_EQ(region.Left, c.region.Left) << row;
        EXPECT_EQ(region.Top, c.region.Top) << row;
        auto among = [](const std::vector<int> &values, int v) {
            return std::find(values.begin(), values.end(), v) != values.end();
        };
        EXPECT_TRUE(among(c.rights, region.Right)) << row << " " << region;
        EXPECT_TRUE(among(c.bottoms, region.Bottom)) << row << " " << region;
        for (const CHAR_INFO &cell : cells) ASSERT_EQ(cell.Char.AsciiChar, '#') << row << " no cell is written";
    }
    // Writes of the same regions off the buffer are taken, and write nothing.
    CHAR_INFO cells[4] = {Cell('a'), Cell('b'), Cell('c'), Cell('d')};
    SMALL_RECT region = Rect(25, 7, 26, 8);
    EXPECT_TRUE(WriteConsoleOutputA(h, cells, At(2, 2), At(0, 0), &region));
}

TEST_F(ConsoleApiTest, AMissingArrayIsReportedBeforeAnUnknownHandle) {
    HANDLE in = Input();
    INPUT_RECORD record = Key('k');
    struct Case {
        const char *name;
        HANDLE handle;
        const INPUT_RECORD *records;
        DWORD length;
        DWORD error, otherError;
    };
    // As Windows answers; where its versions differ, both answers.
    const Case cases[] = {
        {"null handle, no records", nullptr, nullptr, 1, ERROR_NOACCESS, ERROR_INVALID_ACCESS},
        {"null handle, none asked for", nullptr, nullptr, 0, ERROR_INVALID_HANDLE, ERROR_INVALID_HANDLE},
        {"null handle, a record", nullptr, &record, 1, ERROR_INVALID_HANDLE, ERROR_INVALID_HANDLE},
        {"invalid handle, no records", INVALID_HANDLE_VALUE, nullptr, 1, ERROR_INVALID_HANDLE, ERROR_INVALID_ACCESS},
        {"input handle, no records", in, nullptr, 1, ERROR_NOACCESS, ERROR_INVALID_ACCESS},
    };
    for (const Case &c : cases) {
        const std::string row = RowLabel(c.name);
        DWORD count = kSentinel;
        SetLastError(kSentinel);
        EXPECT_FALSE(WriteConsoleInputA(c.handle, c.records, c.length, &count)) << row;
        DWORD error = GetLastError();
        EXPECT_TRUE(error == c.error || error == c.otherError) << row << " error " << error;
    }
    DWORD count = kSentinel;
    ASSERT_TRUE(GetNumberOfConsoleInputEvents(in, &count));
    EXPECT_EQ(count, 0u) << "nothing was queued";
}

TEST_F(ConsoleApiTest, TheNullDeviceTakesWritesGivesEndOfFileAndIsNoConsole) {
    HANDLE nul = Keep(CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    DWORD count = kSentinel;
    ASSERT_TRUE(WriteFile(nul, "gone", 4, &count, nullptr)) << "error " << GetLastError();
    EXPECT_EQ(count, 4u);
    char bytes[8] = "kept";
    count = kSentinel;
    ASSERT_TRUE(ReadFile(nul, bytes, sizeof bytes, &count, nullptr)) << "error " << GetLastError();
    EXPECT_EQ(count, 0u) << "end of file";
    EXPECT_EQ(std::string(bytes), "kept");

    DWORD mode = kSentinel;
    CONSOLE_SCREEN_BUFFER_INFO info;
    INPUT_RECORD record = Key('k');
    struct Case {
        const char *name;
        std::function<BOOL()> call;
    };
    const Case cases[] = {
        {"GetConsoleMode", [&] { return GetConsoleMode(nul, &mode); }},
        {"GetConsoleScreenBufferInfo", [&] { return GetConsoleScreenBufferInfo(nul, &info); }},
        {"FillConsoleOutputCharacterA", [&] { return FillConsoleOutputCharacterA(nul, 'x', 1, At(0, 0), &count); }},
        {"PeekConsoleInputA", [&] { return PeekConsoleInputA(nul, &record, 1, &count); }},
        {"SetConsoleActiveScreenBuffer", [&] { return SetConsoleActiveScreenBuffer(nul); }},
    };
    for (const Case &c : cases) {
        SetLastError(kSentinel);
        EXPECT_FALSE(c.call()) << c.name;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE)) << c.name;
    }
    EXPECT_EQ(mode, kSentinel) << "outputs are left alone";
}

TEST_F(ConsoleApiTest, AFileByItsNameTakesBytesAndGivesThemBackThenEndOfFile) {
    const char *name = "console_api_test_file.tmp";
    HANDLE out = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(out, INVALID_HANDLE_VALUE) << "error " << GetLastError();
    DWORD count = kSentinel;
    EXPECT_TRUE(WriteFile(out, "dit is", 6, &count, nullptr)) << "error " << GetLastError();
    EXPECT_EQ(count, 6u);
    char bytes[16] = {};
    count = kSentinel;
    SetLastError(kSentinel);
    EXPECT_FALSE(ReadFile(out, bytes, sizeof bytes, &count, nullptr)) << "opened for writing only";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    ASSERT_TRUE(CloseHandle(out));

    // Closed here, not at the end of the test, so that the file can go.
    HANDLE in = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(in, INVALID_HANDLE_VALUE) << "error " << GetLastError();
    count = kSentinel;
    ASSERT_TRUE(ReadFile(in, bytes, sizeof bytes, &count, nullptr)) << "error " << GetLastError();
    EXPECT_EQ(std::string(bytes, count), "dit is");
    count = kSentinel;
    ASSERT_TRUE(ReadFile(in, bytes, sizeof bytes, &count, nullptr)) << "error " << GetLastError();
    EXPECT_EQ(count, 0u) << "end of file";
    ASSERT_TRUE(CloseHandle(in));
    std::remove(name);  // the test leaves nothing in the folder it ran in
}

TEST_F(ConsoleApiTest, OpeningAMissingFileOrAFolderIsRefusedWithItsReason) {
    struct Case {
        const char *name;
        DWORD error;
    };
    const Case cases[] = {
        {"no_such_file.tmp", ERROR_FILE_NOT_FOUND},
        {"no_such_folder/file.tmp", ERROR_PATH_NOT_FOUND},
        {".", ERROR_ACCESS_DENIED},  // a folder is not a file
    };
    for (const Case &c : cases) {
        SetLastError(kSentinel);
        HANDLE h = CreateFileA(c.name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(h, INVALID_HANDLE_VALUE) << c.name;
        EXPECT_EQ(GetLastError(), c.error) << c.name;
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
}

TEST_F(ConsoleApiTest, ClosingTheLastHandleToTheActiveBufferBringsBackTheBufferActiveBeforeIt) {
    SKIP_ON_WINE(WineDeparture::ActiveBufferKeptWhenClosed);
    auto open = [] {
        return CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    };
    // Which buffer CONOUT$ opens, told by a mark only that buffer carries.
    auto conoutCarries = [&](char mark) {
        HANDLE h = open();
        bool carries = Chars(h, 0, 0, 1)[0] == mark;
        CloseHandle(h);
        return carries;
    };
    HANDLE original = Keep(open());
    std::string before = Chars(original, 0, 0, 1);
    char originalMark = before[0] == '1' ? '2' : '1';
    DWORD written;
    ASSERT_TRUE(FillConsoleOutputCharacterA(original, originalMark, 1, At(0, 0), &written));
    auto make = [](char mark) {
        HANDLE h = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             CONSOLE_TEXTMODE_BUFFER, nullptr);
        DWORD n;
        FillConsoleOutputCharacterA(h, mark, 1, At(0, 0), &n);
        return h;
    };
    HANDLE first = make('A');
    HANDLE second = make('B');
    ASSERT_TRUE(SetConsoleActiveScreenBuffer(first));
    ASSERT_TRUE(SetConsoleActiveScreenBuffer(second));
    HANDLE secondAgain = open();
    ASSERT_TRUE(conoutCarries('B'));
    ASSERT_TRUE(CloseHandle(second));
    EXPECT_TRUE(conoutCarries('B')) << "a handle to it is still open";
    ASSERT_TRUE(CloseHandle(secondAgain));
    EXPECT_TRUE(conoutCarries('A')) << "the buffer active before it is back";
    ASSERT_TRUE(CloseHandle(first));
    EXPECT_TRUE(conoutCarries(originalMark)) << "and the one before that";
    SetConsoleActiveScreenBuffer(original);
    FillConsoleOutputCharacterA(original, before[0], 1, At(0, 0), &written);
}

namespace {

INPUT_RECORD Mouse(int x, int y, DWORD flags) {
    INPUT_RECORD record{};
    record.EventType = MOUSE_EVENT;
    record.Event.MouseEvent.dwMousePosition = COORD{static_cast<SHORT>(x), static_cast<SHORT>(y)};
    record.Event.MouseEvent.dwEventFlags = flags;
    return record;
}

INPUT_RECORD CtrlC(BOOL down) {
    INPUT_RECORD record = Key('\x03');
    record.Event.KeyEvent.bKeyDown = down;
    record.Event.KeyEvent.wVirtualKeyCode = 'C';
    record.Event.KeyEvent.wVirtualScanCode = 0x2E;
    record.Event.KeyEvent.dwControlKeyState = LEFT_CTRL_PRESSED;
    return record;
}

}  // namespace

TEST_F(ConsoleApiTest, AMouseMoveWrittenAloneAfterAMouseMoveOnlyMovesIt) {
    SKIP_ON_WINE(WineDeparture::MouseMovesNotMerged);
    HANDLE in = Input();
    DWORD mode = 0;
    ASSERT_TRUE(GetConsoleMode(in, &mode));
    // No mouse or window events of the console's own meanwhile.
    ASSERT_TRUE(SetConsoleMode(in, mode & ~(ENABLE_MOUSE_INPUT | ENABLE_WINDOW_INPUT)));
    ASSERT_TRUE(FlushConsoleInputBuffer(in));
    struct Step {
        std::vector<INPUT_RECORD> written;
        DWORD queued;
    };
    const Step steps[] = {
        {{Mouse(1, 1, MOUSE_MOVED)}, 1},
        {{Mouse(5, 6, MOUSE_MOVED)}, 1},
        {{Mouse(7, 7, MOUSE_MOVED), Mouse(8, 8, MOUSE_MOVED)}, 3},  // several at once are all kept
        {{Mouse(9, 9, 0)}, 4},                                      // a click is no move
        {{Mouse(2, 2, MOUSE_MOVED)}, 5},
        {{Key('k')}, 6},
        {{Mouse(3, 3, MOUSE_MOVED)}, 7},
    };
    int index = 0;
    for (const Step &s : steps) {
        const std::string row = RowLabel("step ", index++);
        DWORD count = kSentinel;
        ASSERT_TRUE(WriteConsoleInputA(in, s.written.data(), static_cast<DWORD>(s.written.size()), &count)) << row;
        EXPECT_EQ(count, s.written.size()) << row << " every record counts as written";
        ASSERT_TRUE(GetNumberOfConsoleInputEvents(in, &count)) << row;
        EXPECT_EQ(count, s.queued) << row;
    }
    INPUT_RECORD seen{};
    DWORD count = 0;
    ASSERT_TRUE(PeekConsoleInputA(in, &seen, 1, &count));
    EXPECT_EQ(seen.Event.MouseEvent.dwMousePosition.X, 5) << "the queued move took the new position";
    EXPECT_EQ(seen.Event.MouseEvent.dwMousePosition.Y, 6);
    FlushConsoleInputBuffer(in);
    SetConsoleMode(in, mode);
}

namespace {

// Injects Ctrl+C with processed input on; ends the process normally only
// when that did not end it, with 1 when the record was queued instead.
void InjectCtrlCWithProcessedInput() {
    HANDLE in = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
    SetConsoleMode(in, ENABLE_PROCESSED_INPUT);
    FlushConsoleInputBuffer(in);
    INPUT_RECORD records[2] = {CtrlC(TRUE), CtrlC(FALSE)};
    DWORD count = 0;
    WriteConsoleInputA(in, records, 2, &count);
    // Windows runs the handling on a thread of its own; give it time.
    Sleep(3000);
    GetNumberOfConsoleInputEvents(in, &count);
    if (count != 0) ExitProcess(1);
}

}  // namespace

TEST_F(ConsoleApiTest, CtrlCWrittenWithProcessedInputOnIsTheProcessesCtrlCAndIsNotQueued) {
    SKIP_ON_WINE(WineDeparture::CtrlCEndsWithExitCodeZero);
    HANDLE in = Input();
    DWORD mode = 0;
    ASSERT_TRUE(GetConsoleMode(in, &mode));
    ChildEnding ending = RunInChild(InjectCtrlCWithProcessedInput);
    SetConsoleMode(in, mode);
    if (ending == ChildEnding::Unsupported) GTEST_SKIP() << "this build cannot tell how a process ended";
    EXPECT_EQ(ending, ChildEnding::ByCtrlC) << "the child ended " << ChildEndingName(ending);

    // With processed input off it is a key like any other.
    ASSERT_TRUE(SetConsoleMode(in, 0));
    ASSERT_TRUE(FlushConsoleInputBuffer(in));
    INPUT_RECORD records[2] = {CtrlC(TRUE), CtrlC(FALSE)};
    DWORD count = 0;
    ASSERT_TRUE(WriteConsoleInputA(in, records, 2, &count));
    ASSERT_TRUE(GetNumberOfConsoleInputEvents(in, &count));
    EXPECT_EQ(count, 2u);
    FlushConsoleInputBuffer(in);
    SetConsoleMode(in, mode);
}
