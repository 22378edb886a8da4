// The program's main sequence run whole against a screen buffer of its own:
// every allocation failing in turn, and a process with no console input.
#include "demo/key_waiting.h"
#include "demo/main_sequence.h"
#include "tests/support/screen_fixture.h"

namespace ca = counting_allocator;

namespace {
constexpr std::uint32_t kOutOfMemoryWord = 0x8007;
}  // namespace

// Main against a screen of its own and a key already waiting, so that it
// runs to its end at once.
class MainSequenceTest : public ScreenTest {
protected:
    void SetUp() override {
        ScreenTest::SetUp();
        input_ = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(input_, INVALID_HANDLE_VALUE) << "these tests need a console; error " << GetLastError();
        Console.consoleInput = input_;
    }

    void TearDown() override {
        if (input_ != INVALID_HANDLE_VALUE) {
            EXPECT_TRUE(FlushConsoleInputBuffer(input_));
            CloseHandle(input_);
        }
        ScreenTest::TearDown();
    }

    // A fresh 80x25 screen with a mark in every cell, one key press queued,
    // then Main; its result.
    std::int32_t RunMain() {
        MakeScreen(80, 25);
        Paint('#', 0x1E);
        EXPECT_TRUE(FlushConsoleInputBuffer(input_));
        INPUT_RECORD press{};
        press.EventType = KEY_EVENT;
        press.Event.KeyEvent.bKeyDown = TRUE;
        press.Event.KeyEvent.wRepeatCount = 1;
        press.Event.KeyEvent.wVirtualKeyCode = 'X';
        press.Event.KeyEvent.wVirtualScanCode = 0x2D;
        press.Event.KeyEvent.uChar.AsciiChar = 'x';
        DWORD written = 0;
        EXPECT_TRUE(WriteConsoleInputA(input_, &press, 1, &written));
        return Main(nullptr, 0, "", 10);
    }

    HANDLE input_ = INVALID_HANDLE_VALUE;
};

TEST_F(MainSequenceTest, FailingAtEachAllocationStillEndsWithExitCode0AndAnEmptyLine) {
    std::int32_t code = RunMain();
    std::uint32_t requests = ca::Requests();
    EXPECT_EQ(code, 0);
    EXPECT_EQ(Row(0), "Dit Is Een Zin." + Blank(65)) << "the clean run";
    EXPECT_EQ(requests, 3u) << "the sentence's copy, the working copy and the result";
    EXPECT_EQ(ca::Live(), 0u);

    for (std::uint32_t k = 1; k <= requests; ++k) {
        const std::string at = " [request " + std::to_string(k) + "]";
        error_probe::Reset();
        ca::FailNth(k);
        code = RunMain();
        ca::FailNth(0);
        EXPECT_EQ(code, 0) << at;
        EXPECT_EQ(error_probe::LastWord(), kOutOfMemoryWord) << at;
        EXPECT_EQ(Row(0), Blank(80)) << "the line is empty" << at;
        EXPECT_EQ(Row(1), Blank(80)) << at;
        EXPECT_EQ(Cursor(), Coord(0, 1)) << "the line end was still written" << at;
        EXPECT_EQ(KeyWaiting(), -1) << "the key that ended the wait is left unread" << at;
        EXPECT_EQ(ca::Live(), 0u) << "nothing leaked" << at;
        EXPECT_EQ(ca::BadReleases(), 0u) << "nothing released twice" << at;
    }
}

TEST_F(MainSequenceTest, WithNoConsoleInputTheWaitEndsAtOnce) {
    MakeScreen(80, 25);
    Console.consoleInput = INVALID_HANDLE_VALUE;
    EXPECT_EQ(Main(nullptr, 0, "", 10), 0);
    EXPECT_EQ(Row(0), "Dit Is Een Zin." + Blank(65));
    EXPECT_EQ(Cursor(), Coord(0, 1));
}
