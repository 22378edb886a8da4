// KeyWaiting against the real console input: records are put into the input
// buffer with WriteConsoleInputA, and the test checks the answer and what is
// left in the buffer. Only Win32 calls, so the same test runs everywhere.
// Table rows are named in each assertion's message, not with SCOPED_TRACE:
// GoogleTest keeps its traces in thread-local storage, which on Windows
// starts a watcher thread, and that thread breaks 32-bit test programs under
// Wine through qemu (their console calls start failing).
#include <gtest/gtest.h>

#include <vector>

#include "demo/console_state.h"
#include "demo/key_waiting.h"
#include "platform/windows.h"

namespace {

INPUT_RECORD KeyEvent(bool down, WORD vk, WORD scan, unsigned char ch, DWORD state = 0) {
    INPUT_RECORD r{};
    r.EventType = KEY_EVENT;
    r.Event.KeyEvent.bKeyDown = down ? TRUE : FALSE;
    r.Event.KeyEvent.wRepeatCount = 1;
    r.Event.KeyEvent.wVirtualKeyCode = vk;
    r.Event.KeyEvent.wVirtualScanCode = scan;
    r.Event.KeyEvent.uChar.AsciiChar = static_cast<CHAR>(ch);
    r.Event.KeyEvent.dwControlKeyState = state;
    return r;
}

INPUT_RECORD Press(WORD vk, WORD scan, unsigned char ch, DWORD state = 0) {
    return KeyEvent(true, vk, scan, ch, state);
}
INPUT_RECORD Release(WORD vk, WORD scan, unsigned char ch, DWORD state = 0) {
    return KeyEvent(false, vk, scan, ch, state);
}

INPUT_RECORD Focus() {
    INPUT_RECORD r{};
    r.EventType = FOCUS_EVENT;
    r.Event.FocusEvent.bSetFocus = TRUE;
    return r;
}

INPUT_RECORD Mouse() {
    INPUT_RECORD r{};
    r.EventType = MOUSE_EVENT;
    r.Event.MouseEvent.dwMousePosition = {3, 4};
    r.Event.MouseEvent.dwButtonState = 1;
    return r;
}

INPUT_RECORD Menu() {
    INPUT_RECORD r{};
    r.EventType = MENU_EVENT;
    r.Event.MenuEvent.dwCommandId = 7;
    return r;
}

INPUT_RECORD WindowSize() {
    INPUT_RECORD r{};
    r.EventType = WINDOW_BUFFER_SIZE_EVENT;
    r.Event.WindowBufferSizeEvent.dwSize = {80, 25};
    return r;
}

INPUT_RECORD Repeated(INPUT_RECORD r, WORD count) {
    r.Event.KeyEvent.wRepeatCount = count;
    return r;
}

const INPUT_RECORD kLetterX = Press('X', 0x2D, 'x');

bool SameKey(const INPUT_RECORD &a, const INPUT_RECORD &b) {
    return a.EventType == KEY_EVENT && b.EventType == KEY_EVENT &&
           a.Event.KeyEvent.bKeyDown == b.Event.KeyEvent.bKeyDown &&
           a.Event.KeyEvent.wVirtualKeyCode == b.Event.KeyEvent.wVirtualKeyCode &&
           a.Event.KeyEvent.wVirtualScanCode == b.Event.KeyEvent.wVirtualScanCode &&
           a.Event.KeyEvent.uChar.AsciiChar == b.Event.KeyEvent.uChar.AsciiChar;
}

class KeyWaitingTest : public ::testing::Test {
protected:
    void SetUp() override {
        input_ = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(input_, INVALID_HANDLE_VALUE) << "these tests need a console; error " << GetLastError();
        saved_ = Console.consoleInput;
        Console.consoleInput = input_;
        // Whatever the terminal or an earlier test left must not be taken for
        // a key of this test.
        ASSERT_TRUE(FlushConsoleInputBuffer(input_));
    }

    void TearDown() override {
        if (input_ == INVALID_HANDLE_VALUE) return;
        EXPECT_TRUE(FlushConsoleInputBuffer(input_));
        Console.consoleInput = saved_;
        CloseHandle(input_);
    }

    void Queue(const std::vector<INPUT_RECORD> &records) {
        DWORD written = 0;
        ASSERT_TRUE(WriteConsoleInputA(input_, records.data(), static_cast<DWORD>(records.size()), &written));
        ASSERT_EQ(written, records.size());
        ASSERT_EQ(Queued().size(), records.size()) << "the buffer holds exactly what the test put there";
    }

    std::vector<INPUT_RECORD> Queued() {
        DWORD count = 0;
        EXPECT_TRUE(GetNumberOfConsoleInputEvents(input_, &count));
        std::vector<INPUT_RECORD> records(count + 1);
        DWORD read = 0;
        EXPECT_TRUE(PeekConsoleInputA(input_, records.data(), count + 1, &read));
        EXPECT_EQ(read, count) << "peek and count agree";
        records.resize(read);
        return records;
    }

    HANDLE input_ = INVALID_HANDLE_VALUE;
    HANDLE saved_ = nullptr;
};

TEST_F(KeyWaitingTest, EmptyInputGivesNoKey) {
    EXPECT_EQ(KeyWaiting(), 0);
    EXPECT_TRUE(Queued().empty());
    EXPECT_EQ(KeyWaiting(), 0) << "and the same again";
}

TEST_F(KeyWaitingTest, ALoneReleaseIsRemovedAndGivesNoKey) {
    Queue({Release(VK_RETURN, 0x1C, '\r')});
    EXPECT_EQ(KeyWaiting(), 0);
    EXPECT_TRUE(Queued().empty());
}

TEST_F(KeyWaitingTest, ModifierAndLockKeysPressedAloneAreRemoved) {
    struct Case {
        const char *name;
        INPUT_RECORD press;
    };
    const Case cases[] = {
        {"left Ctrl", Press(VK_CONTROL, 0x1D, 0, LEFT_CTRL_PRESSED)},
        {"right Ctrl", Press(VK_CONTROL, 0x1D, 0, RIGHT_CTRL_PRESSED | ENHANCED_KEY)},
        {"left Shift", Press(VK_SHIFT, 0x2A, 0, SHIFT_PRESSED)},
        {"right Shift", Press(VK_SHIFT, 0x36, 0, SHIFT_PRESSED)},
        {"left Alt", Press(VK_MENU, 0x38, 0, LEFT_ALT_PRESSED)},
        {"right Alt", Press(VK_MENU, 0x38, 0, RIGHT_ALT_PRESSED | ENHANCED_KEY)},
        {"Caps Lock", Press(VK_CAPITAL, 0x3A, 0, CAPSLOCK_ON)},
        {"Num Lock", Press(VK_NUMLOCK, 0x45, 0, NUMLOCK_ON | ENHANCED_KEY)},
        {"Scroll Lock", Press(VK_SCROLL, 0x46, 0, SCROLLLOCK_ON)},
        {"only the low byte of the scan code counts", Press(VK_SHIFT, 0xE02A, 0, SHIFT_PRESSED)},
        {"the virtual key does not", Press('Q', 0x2A, 0)},
        {"Shift held down", Repeated(Press(VK_SHIFT, 0x2A, 0, SHIFT_PRESSED), 3)},
    };
    for (const Case &c : cases) {
        Queue({c.press});
        EXPECT_EQ(KeyWaiting(), 0) << c.name;
        EXPECT_TRUE(Queued().empty()) << c.name;
    }
}

TEST_F(KeyWaitingTest, ALetterTypedWithShiftStaysAtTheHead) {
    const INPUT_RECORD letter = Press('A', 0x1E, 'A', SHIFT_PRESSED);
    Queue({Press(VK_SHIFT, 0x2A, 0, SHIFT_PRESSED), letter, Release('A', 0x1E, 'A', SHIFT_PRESSED),
           Release(VK_SHIFT, 0x2A, 0)});
    EXPECT_EQ(KeyWaiting(), -1);
    std::vector<INPUT_RECORD> left = Queued();
    ASSERT_EQ(left.size(), 3u) << "only the Shift press is removed";
    EXPECT_TRUE(SameKey(left[0], letter));
}

TEST_F(KeyWaitingTest, KeysWithoutACharacterCountUnlessTheyModify) {
    struct Case {
        const char *name;
        INPUT_RECORD press;
    };
    const Case cases[] = {
        {"F1", Press(VK_F1, 0x3B, 0)},
        {"F12", Press(VK_F12, 0x58, 0)},
        {"Up", Press(VK_UP, 0x48, 0, ENHANCED_KEY)},
        {"Down", Press(VK_DOWN, 0x50, 0, ENHANCED_KEY)},
        {"Left", Press(VK_LEFT, 0x4B, 0, ENHANCED_KEY)},
        {"Right", Press(VK_RIGHT, 0x4D, 0, ENHANCED_KEY)},
        {"Insert", Press(VK_INSERT, 0x52, 0, ENHANCED_KEY)},
        {"Delete", Press(VK_DELETE, 0x53, 0, ENHANCED_KEY)},
        {"Home", Press(VK_HOME, 0x47, 0, ENHANCED_KEY)},
        {"End", Press(VK_END, 0x4F, 0, ENHANCED_KEY)},
        {"Page Up", Press(VK_PRIOR, 0x49, 0, ENHANCED_KEY)},
        {"Page Down", Press(VK_NEXT, 0x51, 0, ENHANCED_KEY)},
        {"Esc with character 27", Press(VK_ESCAPE, 0x01, 27)},
        {"Esc with no character", Press(VK_ESCAPE, 0x01, 0)},
        {"a key the console has no name for", Press(0, 0, 0)},
        {"a character on a modifier's scan code", Press(VK_SHIFT, 0x2A, 'x')},
        {"a letter held down", Repeated(Press('X', 0x2D, 'x'), 3)},
    };
    for (const Case &c : cases) {
        Queue({c.press});
        EXPECT_EQ(KeyWaiting(), -1) << c.name;
        std::vector<INPUT_RECORD> left = Queued();
        ASSERT_EQ(left.size(), 1u) << c.name;
        EXPECT_TRUE(SameKey(left[0], c.press)) << c.name;
        ASSERT_TRUE(FlushConsoleInputBuffer(input_));
    }
}

TEST_F(KeyWaitingTest, CtrlCWithProcessedInputOffIsAKeyPress) {
    DWORD mode = 0;
    ASSERT_TRUE(GetConsoleMode(input_, &mode));
    // A ^C record put in while processed input is on would be turned into an
    // interrupt of this test program, so it goes in only once that is off.
    SetConsoleMode(input_, mode & ~ENABLE_PROCESSED_INPUT);
    DWORD now = 0;
    ASSERT_TRUE(GetConsoleMode(input_, &now));
    ASSERT_EQ(now & ENABLE_PROCESSED_INPUT, 0u) << "processed input must be off before ^C goes in";

    const INPUT_RECORD c = Press('C', 0x2E, 0x03, LEFT_CTRL_PRESSED);
    Queue({Press(VK_CONTROL, 0x1D, 0, LEFT_CTRL_PRESSED), c, Release('C', 0x2E, 0x03, LEFT_CTRL_PRESSED),
           Release(VK_CONTROL, 0x1D, 0)});
    EXPECT_EQ(KeyWaiting(), -1);
    std::vector<INPUT_RECORD> left = Queued();
    ASSERT_EQ(left.size(), 3u);
    EXPECT_TRUE(SameKey(left[0], c));

    ASSERT_TRUE(FlushConsoleInputBuffer(input_));
    SetConsoleMode(input_, mode);
}

TEST_F(KeyWaitingTest, OtherEventsAheadOfAPressAreRemovedAndThePressStays) {
    Queue({Focus(), Mouse(), Release('Q', 0x10, 'q'), Menu(), WindowSize(), kLetterX});
    EXPECT_EQ(KeyWaiting(), -1);
    std::vector<INPUT_RECORD> left = Queued();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_TRUE(SameKey(left[0], kLetterX));

    EXPECT_EQ(KeyWaiting(), -1) << "a second call finds the press at once";
    left = Queued();
    ASSERT_EQ(left.size(), 1u) << "and removes nothing";
    EXPECT_TRUE(SameKey(left[0], kLetterX));
}

TEST_F(KeyWaitingTest, OnlyWhatIsAheadOfTheFirstPressIsRemoved) {
    const INPUT_RECORD first = Press('A', 0x1E, 'a');
    Queue({Mouse(), first, Release('A', 0x1E, 'a'), Mouse(), Press(VK_SHIFT, 0x2A, 0), Press('B', 0x30, 'b')});
    EXPECT_EQ(KeyWaiting(), -1);
    std::vector<INPUT_RECORD> left = Queued();
    ASSERT_EQ(left.size(), 5u);
    EXPECT_TRUE(SameKey(left[0], first));
    EXPECT_EQ(left[2].EventType, MOUSE_EVENT);
}

TEST_F(KeyWaitingTest, TwoPressesBothStay) {
    const INPUT_RECORD a = Press('A', 0x1E, 'a'), b = Press('B', 0x30, 'b');
    Queue({a, b});
    EXPECT_EQ(KeyWaiting(), -1);
    std::vector<INPUT_RECORD> left = Queued();
    ASSERT_EQ(left.size(), 2u);
    EXPECT_TRUE(SameKey(left[0], a));
    EXPECT_TRUE(SameKey(left[1], b));
}

TEST_F(KeyWaitingTest, EachCallStandsAlone) {
    Queue({Press(VK_SHIFT, 0x2A, 0), Focus()});
    EXPECT_EQ(KeyWaiting(), 0);
    EXPECT_TRUE(Queued().empty());
    Queue({Release(VK_SHIFT, 0x2A, 0), kLetterX});
    EXPECT_EQ(KeyWaiting(), -1);
    EXPECT_EQ(Queued().size(), 1u);
}

TEST_F(KeyWaitingTest, AnInputHandleThatCannotBePeekedGivesNoKey) {
    Queue({kLetterX});
    HANDLE output = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(output, INVALID_HANDLE_VALUE);
    struct Case {
        const char *name;
        HANDLE handle;
    };
    const Case cases[] = {
        {"invalid handle", INVALID_HANDLE_VALUE},
        {"null handle", nullptr},
        {"an output handle", output},
    };
    for (const Case &c : cases) {
        Console.consoleInput = c.handle;
        EXPECT_EQ(KeyWaiting(), 0) << c.name;
    }
    CloseHandle(output);
    Console.consoleInput = input_;
    EXPECT_EQ(Queued().size(), 1u) << "the console's own input is left alone";
}

}  // namespace
