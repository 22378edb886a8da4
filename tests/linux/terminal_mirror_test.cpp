// The terminal mirror as a pure function of frames: the exact bytes it writes
// for an update, the glyphs of code page 437 and the colour mapping.
#include <gtest/gtest.h>

#include <string>

#include "platform/posix/screen/cp437.h"
#include "platform/posix/terminal/terminal_mirror.h"

using namespace standin;

namespace {

Frame Blank(int width, int height) {
    Frame frame;
    frame.width = width;
    frame.height = height;
    frame.cells.assign(static_cast<std::size_t>(width) * height, MakeCell(' ', 7));
    frame.cursorVisible = true;
    return frame;
}

void Put(Frame &frame, int x, int y, const std::string &text, WORD attribute = 7) {
    for (std::size_t i = 0; i < text.size(); ++i)
        frame.cells[static_cast<std::size_t>(y) * frame.width + x + i] =
            MakeCell(static_cast<unsigned char>(text[i]), attribute);
}

}  // namespace

TEST(TerminalMirror, FirstUpdateDrawsEveryCellWithWrapOffAndPlacesTheCursor) {
    TerminalMirror mirror;
    EXPECT_FALSE(mirror.Started());
    EXPECT_EQ(mirror.Update(Blank(4, 2)),
              "\x1b[?7l\x1b[?25l\x1b[1;1H\x1b[0m    \x1b[2;1H    \x1b[1;1H\x1b[?25h");
    EXPECT_TRUE(mirror.Started());
    EXPECT_EQ(mirror.Update(Blank(4, 2)), "") << "nothing changed, nothing written";
}

TEST(TerminalMirror, SmallUpdateWritesOnlyTheChangedCellsInTheirColours) {
    TerminalMirror mirror;
    Frame frame = Blank(4, 2);
    mirror.Update(frame);
    Put(frame, 1, 0, "A", 0x1E);
    Put(frame, 2, 1, "b");
    frame.cursorX = 3;
    frame.cursorY = 1;
    // The terminal's cursor is home: one blank in the same pen beats a jump.
    EXPECT_EQ(mirror.Update(frame), "\x1b[?25l \x1b[0;93;44mA\x1b[2;3H\x1b[0mb\x1b[?25h");
    Put(frame, 0, 1, "cd", 0x1E);
    Put(frame, 3, 1, "e", 0x1E);
    EXPECT_EQ(mirror.Update(frame), "\x1b[?25l\x1b[2;1H\x1b[0;93;44mcd\x1b[2;4He\x1b[2;4H\x1b[?25h")
        << "a gap in another pen is jumped, not redrawn";
}

TEST(TerminalMirror, SentenceOnACleared80By25ScreenIsOneRunAndACursorMove) {
    // The spaces between the words are drawn again: cheaper than jumping them.
    TerminalMirror mirror;
    Frame frame = Blank(80, 25);
    mirror.Update(frame);
    Put(frame, 0, 0, "Dit Is Een Zin.");
    frame.cursorY = 1;
    EXPECT_EQ(mirror.Update(frame), "\x1b[?25lDit Is Een Zin.\x1b[2;1H\x1b[?25h");
}

TEST(TerminalMirror, AHiddenCursorMovesSilentlyAndIsPlacedWhenTheTerminalIsHandedBack) {
    TerminalMirror mirror;
    EXPECT_EQ(mirror.HandBack(), "") << "a terminal never drawn on needs nothing back";
    Frame frame = Blank(4, 2);
    mirror.Update(frame);
    frame.cursorVisible = false;
    EXPECT_EQ(mirror.Update(frame), "\x1b[?25l");
    frame.cursorX = 2;
    frame.cursorY = 1;
    EXPECT_EQ(mirror.Update(frame), "");
    EXPECT_EQ(mirror.HandBack(), "\x1b[2;3H\x1b[0m\x1b[?7h\x1b[?25h");
    frame.cursorVisible = true;
    EXPECT_EQ(mirror.Update(frame), "\x1b[2;3H\x1b[?25h");
}

TEST(TerminalMirror, InvalidatingOrResizingRedrawsEverything) {
    TerminalMirror mirror;
    mirror.Update(Blank(2, 1));
    mirror.Invalidate();
    EXPECT_EQ(mirror.Update(Blank(2, 1)), "\x1b[?7l\x1b[?25l\x1b[1;1H\x1b[0m  \x1b[1;1H\x1b[?25h");
    EXPECT_EQ(mirror.Update(Blank(3, 1)), "\x1b[?7l\x1b[?25l\x1b[1;1H\x1b[0m   \x1b[1;1H\x1b[?25h");
}

TEST(TerminalMirror, CellBytesAreShownAsCodePage437InUtf8) {
    struct Case {
        unsigned char byte;
        const char *utf8;
    };
    const Case cases[] = {{0x00, " "},        {0x07, "\u2022"}, {0x08, "\u25D8"}, {0x09, "\u25CB"},
                          {0x0A, "\u25D9"},   {0x0D, "\u266A"}, {0x1B, "\u2190"}, {'A', "A"},
                          {0x7F, "\u2302"},   {0x82, "\u00E9"}, {0xB0, "\u2591"}, {0xDB, "\u2588"},
                          {0xE1, "\u00DF"},   {0xFF, "\u00A0"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(static_cast<int>(c.byte));
        char out[4];
        EXPECT_EQ(std::string(out, AppendGlyphUtf8(c.byte, out)), c.utf8);
    }
    TerminalMirror mirror;
    Frame frame = Blank(2, 1);
    mirror.Update(frame);
    Put(frame, 0, 0, std::string("\x07\x00", 2));
    EXPECT_EQ(mirror.Update(frame), "\x1b[?25l\u2022 \x1b[1;1H\x1b[?25h");
}

// Light grey on black, the console's default, is drawn in the terminal's
// default colours, so a light terminal stays light; every other pair keeps
// its colours.
TEST(TerminalMirror, AttributesBecomeTheTerminalsSixteenColours) {
    struct Case {
        WORD attribute;
        const char *pen;
    };
    const Case cases[] = {
        {0x07, "\x1b[0m"},  {0x0C, "\x1b[0;91;40m"},    {0x19, "\x1b[0;94;44m"},   {0xF0, "\x1b[0;30;107m"},
        {0x2A, "\x1b[0;92;42m"},  {0x4007, "\x1b[0;7m"}, {0x8001, "\x1b[0;34;40;4m"},
        // Only the default pair itself takes the terminal's own colours.
        {0x0F, "\x1b[0;97;40m"},  {0x87, "\x1b[0;37;100m"}, {0x70, "\x1b[0;30;47m"},    {0x00, "\x1b[0;30;40m"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.attribute);
        EXPECT_EQ(PenFor(c.attribute), c.pen);
    }
}

TEST(TerminalMirror, FrameShowsTheWindowClippedToTheTerminalAndTheCursorOnlyInsideIt) {
    ScreenBuffer buffer;
    ASSERT_EQ(InitBuffer(buffer, 10, 4, 7), ERROR_SUCCESS);
    for (int x = 0; x < 10; ++x)
        for (int y = 0; y < 4; ++y) buffer.At(x, y) = MakeCell(static_cast<unsigned char>('0' + x), 7);
    buffer.window = SMALL_RECT{2, 1, 5, 2};
    buffer.cursor = COORD{4, 2};
    Frame frame = ComposeFrame(buffer, 3, 3);
    std::string shown;
    for (const CHAR_INFO &cell : frame.cells) shown += static_cast<char>(cell.Char.UnicodeChar);
    EXPECT_EQ(shown, "234234   ");
    EXPECT_TRUE(frame.cursorVisible);
    EXPECT_EQ(frame.cursorX, 2);
    EXPECT_EQ(frame.cursorY, 1);
    buffer.cursor = COORD{5, 2};
    EXPECT_FALSE(ComposeFrame(buffer, 3, 3).cursorVisible) << "in the window but past the terminal's edge";
    buffer.cursor = COORD{4, 2};
    buffer.cursorInfo.bVisible = FALSE;
    EXPECT_FALSE(ComposeFrame(buffer, 3, 3).cursorVisible);
}
