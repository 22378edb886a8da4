// The program's screen operations on screen buffers of many sizes, checked
// through the console's own functions: cells, attributes, cursor and shape.
#include <algorithm>
#include <chrono>
#include <cstdint>

#include "tests/support/row_label.h"
#include "tests/support/screen_fixture.h"
#include "tests/support/wine_departures.h"

namespace ca = counting_allocator;

namespace {

struct Size {
    int width, height;
};

// From the smallest buffer to one past 255 cells each way, as Windows consoles
// commonly have 9001 rows.
const Size kSizes[] = {{1, 1}, {15, 2}, {16, 2}, {80, 25}, {255, 255}, {300, 9001}};

std::string Letters(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += static_cast<char>('a' + i % 26);
    return text;
}

}  // namespace

TEST_F(ScreenTest, ClearScreenBlanksTheWholeBufferInAttribute7AndHomesTheCursor) {
    for (Size size : kSizes) {
        const std::string row = RowLabel(size.width, "x", size.height);
        MakeScreen(size.width, size.height);
        Paint('#', BACKGROUND_BLUE | FOREGROUND_RED | FOREGROUND_GREEN | FOREGROUND_INTENSITY);
        PlaceCursor(size.width - 1, size.height - 1);
        ClearScreen();
        int wrong = 0;
        for (const CHAR_INFO &cell : Cells(0, size.height))
            if (cell.Char.AsciiChar != ' ' || cell.Attributes != 7) ++wrong;
        EXPECT_EQ(wrong, 0) << "cells not blank in attribute 7" << row;
        EXPECT_EQ(Cursor(), Coord(0, 0)) << row;
        EXPECT_EQ(Console.pendingScroll, kNoScrollOwed) << row;
    }
}

TEST_F(ScreenTest, ClearScreenKeepsAHiddenCursorHiddenAndBringsAVisibleOneBackAtMost99) {
    struct Case {
        CONSOLE_CURSOR_INFO before;
        CONSOLE_CURSOR_INFO after;
    };
    const Case cases[] = {{{25, TRUE}, {25, TRUE}}, {{100, TRUE}, {99, TRUE}}, {{40, FALSE}, {40, FALSE}}};
    for (const Case &c : cases) {
        const std::string row = RowLabel(c.before.dwSize, c.before.bVisible ? " visible" : " hidden");
        MakeScreen(16, 2);
        ASSERT_TRUE(SetConsoleCursorInfo(Console.screen, &c.before)) << row;
        Console.cursor = c.before;
        ClearScreen();
        CONSOLE_CURSOR_INFO shape = CursorShape();
        EXPECT_EQ(shape.bVisible, c.after.bVisible) << row;
        EXPECT_EQ(shape.dwSize, c.after.dwSize) << row;
        EXPECT_EQ(Console.cursor.bVisible, c.after.bVisible) << "the state must not stay suspended" << row;
    }
}

TEST_F(ScreenTest, SentenceThenLineEndLeavesTheTextInRowOneAndTheCursorBelow) {
    for (int rows : {2, 25}) {
        const std::string row = RowLabel(rows);
        MakeScreen(80, rows);
        Paint('#', 0x1E);
        ClearScreen();
        Write("Dit Is Een Zin.");
        WriteLineEnd();
        EXPECT_EQ(Row(0), "Dit Is Een Zin." + Blank(65)) << row;
        EXPECT_EQ(Row(1), Blank(80)) << row;
        EXPECT_EQ(Attributes(0), std::vector<WORD>(80, 7)) << row;
        EXPECT_EQ(Cursor(), Coord(0, 1)) << row;
    }
}

TEST_F(ScreenTest, TextEndingAtTheRightEdgeOfAMiddleRowMovesToTheNextRowAndALineEndSkipsOne) {
    MakeScreen(16, 4);
    Write(Letters(16));
    EXPECT_EQ(Cursor(), Coord(0, 1));
    EXPECT_EQ(Console.pendingScroll, kNoScrollOwed);
    WriteLineEnd();
    EXPECT_EQ(Cursor(), Coord(0, 2));
    Write("next");
    EXPECT_EQ(Row(0), Letters(16));
    EXPECT_EQ(Row(1), Blank(16));
    EXPECT_EQ(Row(2), "next" + Blank(12));
}

TEST_F(ScreenTest, TextEndingAtTheRightEdgeOfTheLastRowOwesTheScrollToTheNextWrite) {
    for (Size size : kSizes) {
        if (size.height < 2) continue;  // needs a row above to see the scroll
        const std::string row = RowLabel(size.width, "x", size.height);
        int last = size.height - 1;
        MakeScreen(size.width, size.height);
        PlaceCursor(0, last - 1);
        Write("above");
        MoveCursor(1, last + 1);
        std::string full = Letters(size.width);
        Write(full);
        EXPECT_EQ(Row(last), full) << "written, not yet scrolled" << row;
        EXPECT_EQ(Cursor(), Coord(0, last)) << "over the text just written" << row;
        EXPECT_EQ(Console.pendingScroll, kScrollOwed) << row;

        Write("xy");
        EXPECT_EQ(Row(last - 1), full) << row;
        EXPECT_EQ(Row(last), "xy" + Blank(size.width - 2)) << row;
        EXPECT_EQ(Cursor(), Coord(2, last)) << row;
        EXPECT_EQ(Console.pendingScroll, kNoScrollOwed) << row;
    }
}

TEST_F(ScreenTest, LineEndAfterTextEndingAtTheBottomRightScrollsTwice) {
    for (Size size : kSizes) {
        if (size.height < 3) continue;  // three rows show both scrolls
        const std::string row = RowLabel(size.width, "x", size.height);
        int last = size.height - 1;
        MakeScreen(size.width, size.height);
        PlaceCursor(0, last - 2);
        Write("kept");
        MoveCursor(1, last + 1);
        Write(Letters(size.width));
        WriteLineEnd();
        EXPECT_EQ(Row(last - 2), Letters(size.width)) << row;
        EXPECT_EQ(Row(last - 1), Blank(size.width)) << row;
        EXPECT_EQ(Row(last), Blank(size.width)) << row;
        EXPECT_EQ(Cursor(), Coord(0, last)) << row;
        EXPECT_EQ(Console.pendingScroll, kNoScrollOwed) << row;
    }
}

TEST_F(ScreenTest, LineEndOnTheLastRowScrollsEveryRowUpAndBlanksTheLastInAttribute7) {
    MakeScreen(16, 3);
    Paint('.', 0x1E);
    DWORD written;
    for (SHORT y = 0; y < 3; ++y) FillConsoleOutputCharacterA(Console.screen, 'a' + y, 16, Coord(0, y), &written);
    PlaceCursor(5, 2);
    WriteLineEnd();
    EXPECT_EQ(Row(0), std::string(16, 'b'));
    EXPECT_EQ(Row(1), std::string(16, 'c'));
    EXPECT_EQ(Row(2), Blank(16));
    EXPECT_EQ(Attributes(1), std::vector<WORD>(16, 0x1E));
    EXPECT_EQ(Attributes(2), std::vector<WORD>(16, 7));
    EXPECT_EQ(Cursor(), Coord(0, 2));
}

TEST_F(ScreenTest, TextLongerThanTheRowWrapsAndOverwritesOnlyTheCellsItPasses) {
    MakeScreen(16, 3);
    Paint('.', 7);
    PlaceCursor(10, 0);
    Write("0123456789");
    EXPECT_EQ(Row(0), "..........012345");
    EXPECT_EQ(Row(1), "6789............");
    EXPECT_EQ(Row(2), std::string(16, '.'));
    EXPECT_EQ(Cursor(), Coord(4, 1));
}

TEST_F(ScreenTest, TextLongerThanTheWholeScreenKeepsItsLastRows) {
    MakeScreen(16, 2);
    Write("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcd");
    EXPECT_EQ(Row(0), "GHIJKLMNOPQRSTUV");
    EXPECT_EQ(Row(1), "WXYZabcd        ");
    EXPECT_EQ(Cursor(), Coord(8, 1));
}

TEST_F(ScreenTest, RowsWiderThan255AreWrittenWholeAndScrolled) {
    MakeScreen(300, 9001);
    PlaceCursor(0, 9000);
    std::string text = Letters(700);
    Write(text);
    EXPECT_EQ(Row(8998), text.substr(0, 300));
    EXPECT_EQ(Row(8999), text.substr(300, 300));
    EXPECT_EQ(Row(9000), text.substr(600) + Blank(200));
    EXPECT_EQ(Cursor(), Coord(100, 9000));
}

TEST_F(ScreenTest, EachByteOfAOneCellScreenReplacesTheLast) {
    MakeScreen(1, 1);
    Write("abc");
    EXPECT_EQ(Row(0), "c");
    EXPECT_EQ(Cursor(), Coord(0, 0));
    EXPECT_EQ(Console.pendingScroll, kScrollOwed);
}

TEST_F(ScreenTest, ControlBytesEachFillOneCellAndDoNothingElse) {
    MakeScreen(16, 2);
    const std::string bytes("\x07\x08\x09\x0A\x0D\x00Z", 7);
    Write(bytes);
    EXPECT_EQ(Row(0), bytes + Blank(9));
    EXPECT_EQ(Row(1), Blank(16));
    EXPECT_EQ(Cursor(), Coord(7, 0));
}

TEST_F(ScreenTest, EmptyWriteTextMakesNoConsoleCallAndStillPops) {
    // Any console call on a null handle fails and sets the last error.
    Console.screen = nullptr;
    CallFrame frame{};
    PushOwned(frame, nullptr);
    SetLastError(0xDEADBEEF);
    WriteText(frame);
    EXPECT_EQ(GetLastError(), 0xDEADBEEFu);
    EXPECT_EQ(frame.temporaryDepth, 0u);
    Write("x");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE)) << "the probe itself must see calls";

    MakeScreen(16, 2);
    MoveCursor(1, 2);
    Write(Letters(16));
    PushOwned(frame, nullptr);
    WriteText(frame);
    EXPECT_EQ(Console.pendingScroll, kScrollOwed) << "a pending scroll stays pending";
    EXPECT_EQ(Cursor(), Coord(0, 1));
    EXPECT_EQ(Row(1), Letters(16));
}

TEST_F(ScreenTest, WriteTextReleasesAnOwnedStringAndLeavesABorrowedOne) {
    MakeScreen(16, 2);
    StringHandle kept = MakeString("kept");
    CallFrame frame{};
    PushBorrowed(frame, kept);
    WriteText(frame);
    EXPECT_EQ(ca::Releases(), 0u);
    PushOwned(frame, MakeString("gone"));
    WriteText(frame);
    EXPECT_EQ(ca::Releases(), 1u);
    EXPECT_EQ(Row(0), "keptgone" + Blank(8));
    FreeString(kept);
}

TEST_F(ScreenTest, MoveCursorOutOfRangeKeepsThatCoordinateAndClearsThePendingScroll) {
    struct Case {
        int column, row;
        COORD expected;
    };
    // From the cursor at column 6, row 3 (1-based) of 16 x 4.
    const Case cases[] = {
        {0, 1, {5, 0}},   {17, 4, {5, 3}}, {-1, 99, {5, 2}}, {3, 5, {2, 2}},
        {16, 4, {15, 3}}, {1, 0, {0, 2}},  {INT32_MIN, INT32_MAX, {5, 2}},
    };
    MakeScreen(16, 4);
    for (const Case &c : cases) {
        const std::string row = RowLabel(c.column, ",", c.row);
        PlaceCursor(5, 2);
        Console.pendingScroll = kScrollOwed;
        MoveCursor(c.column, c.row);
        EXPECT_EQ(Cursor(), c.expected) << row;
        EXPECT_EQ(Console.pendingScroll, kNoScrollOwed) << row;
    }
    MakeScreen(300, 9001);
    MoveCursor(300, 9001);
    EXPECT_EQ(Cursor(), Coord(299, 9000));
    MoveCursor(301, 9002);
    EXPECT_EQ(Cursor(), Coord(299, 9000));
}

TEST_F(ScreenTest, MovingTheCursorUpPausesTwiceForAboutAMillisecondEach) {
    using Clock = std::chrono::steady_clock;
    MakeScreen(16, 4);
    constexpr int kMoves = 30;
    // The same moves down and up, the quickest of five rounds each: what up
    // takes beyond down is the pauses, at least a millisecond each. The bar
    // sits between one pause a move and two, with room for a console whose
    // every call takes about as long as a pause (Wine's).
    auto quickest = [&](int from, int to) {
        Clock::duration best = Clock::duration::max();
        for (int round = 0; round < 5; ++round) {
            auto start = Clock::now();
            for (int i = 0; i < kMoves; ++i) {
                PlaceCursor(0, from);
                MoveCursor(1, to + 1);
            }
            best = std::min(best, Clock::now() - start);
        }
        return best;
    };
    Clock::duration down = quickest(0, 3), up = quickest(3, 0);
    EXPECT_GE(up - down, std::chrono::milliseconds(7 * kMoves / 5))
        << "up " << std::chrono::duration_cast<std::chrono::microseconds>(up).count() << " us, down "
        << std::chrono::duration_cast<std::chrono::microseconds>(down).count() << " us";
}

TEST_F(ScreenTest, ClearingABufferNarrowerThanItsSpacesEndsWithTheCursorsPausesBackUp) {
    SKIP_ON_WINE(WineDeparture::ConsoleCallsOutweighPauses);
    using Clock = std::chrono::steady_clock;
    constexpr int kClears = 10;
    // The clear's 64 spaces go through the writer: on a buffer 16 wide they
    // take the cursor four rows down, and its move home is an upward one,
    // with its two pauses; 80 wide they stay on the first row. Both buffers
    // have 640 cells, so that their fills cost the same. The quickest of five
    // rounds each; the bar is one pause a clear.
    auto quickest = [&](SHORT width, SHORT height) {
        MakeScreen(width, height);
        Clock::duration best = Clock::duration::max();
        for (int round = 0; round < 5; ++round) {
            auto start = Clock::now();
            for (int i = 0; i < kClears; ++i) ClearScreen();
            best = std::min(best, Clock::now() - start);
        }
        return best;
    };
    Clock::duration wide = quickest(80, 8), narrow = quickest(16, 40);
    EXPECT_GE(narrow - wide, std::chrono::milliseconds(kClears))
        << "16 wide " << std::chrono::duration_cast<std::chrono::microseconds>(narrow).count() << " us, 80 wide "
        << std::chrono::duration_cast<std::chrono::microseconds>(wide).count() << " us";
}

TEST_F(ScreenTest, WithoutAConsoleEveryScreenOperationDoesNothing) {
    Console.screen = nullptr;
    Console.cursor = CONSOLE_CURSOR_INFO{25, 1};
    ClearScreen();
    Write("text");
    WriteLineEnd();
    MoveCursor(1, 1);
    EXPECT_EQ(Console.cursor.bVisible, kCursorVisible);
    EXPECT_EQ(Console.pendingScroll, kNoScrollOwed);
}

// Standard output and error pointed at screen buffers (consoles) and at the
// null device (no console) in turn; the standard handles are put back after.
TEST_F(ScreenTest, SetUpConsoleWritesThroughStandardOutputOnlyWhenThatIsAConsole) {
    struct StandardHandlesKept {
        HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE), error = GetStdHandle(STD_ERROR_HANDLE);
        ~StandardHandlesKept() {
            SetStdHandle(STD_OUTPUT_HANDLE, output);
            SetStdHandle(STD_ERROR_HANDLE, error);
        }
    } kept;
    const HANDLE output = MakeScreen(16, 2), error = MakeScreen(16, 2);
    const HANDLE nul =
        CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(nul, INVALID_HANDLE_VALUE) << "error " << GetLastError();
    struct Case {
        const char *name;
        HANDLE standardOutput, standardError, screen;
    } cases[] = {
        {"both consoles", output, error, output},
        {"output the null device", nul, error, error},
        {"error the null device", output, nul, output},
    };
    constexpr DWORD kUnread = 0xFFFFFFFF;
    DWORD inputModeBefore = 0;
    bool inputIsConsole = GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &inputModeBefore);
    for (const Case &c : cases) {
        const std::string row = RowLabel(c.name);
        ASSERT_TRUE(SetStdHandle(STD_OUTPUT_HANDLE, c.standardOutput)) << row;
        ASSERT_TRUE(SetStdHandle(STD_ERROR_HANDLE, c.standardError)) << row;
        for (HANDLE screen : {output, error}) ASSERT_TRUE(SetConsoleMode(screen, 0)) << row;

        SetUpConsole();

        EXPECT_EQ(Console.screen, c.screen) << row;
        EXPECT_EQ(Console.standardOutput, c.standardOutput) << row;
        EXPECT_EQ(Console.standardError, c.standardError) << row;
        EXPECT_EQ(Console.standardInput, GetStdHandle(STD_INPUT_HANDLE)) << row;
        DWORD events;
        EXPECT_TRUE(GetNumberOfConsoleInputEvents(Console.consoleInput, &events)) << "CONIN$ whatever stdin is" << row;
        EXPECT_GE(Console.cursor.dwSize, 1u) << row;
        EXPECT_LE(Console.cursor.dwSize, 100u) << row;
        for (HANDLE screen : {output, error}) {
            DWORD mode = kUnread;
            EXPECT_TRUE(GetConsoleMode(screen, &mode)) << row;
            EXPECT_EQ(mode, screen == c.screen ? ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT : 0u)
                << "only the screen written through gets its mode" << row;
        }
        if (inputIsConsole) {
            DWORD mode = kUnread;
            EXPECT_TRUE(GetConsoleMode(Console.standardInput, &mode)) << row;
            EXPECT_EQ(mode, 0u) << row;
            SetConsoleMode(Console.standardInput, inputModeBefore);
        }
        CloseHandle(Console.consoleInput);
    }
    CloseHandle(nul);
}
