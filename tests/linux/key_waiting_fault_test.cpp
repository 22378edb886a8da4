// KeyWaiting when the console refuses a removal, or reports one that removed
// nothing, which no handle can be made to do on purpose: the stand-in's test
// interface makes ReadConsoleInputA fail so.
#include <gtest/gtest.h>

#include "demo/console_state.h"
#include "demo/key_waiting.h"
#include "platform/posix/standin_testing.h"
#include "platform/windows.h"

namespace {

// A KeyWaiting that went on looking after a removal of nothing would spin
// for ever: a fault lasts this many reads, so that the test fails, not hangs.
constexpr std::uint32_t kFaultyReads = 1000;

class KeyWaitingFaultTest : public ::testing::Test {
protected:
    void SetUp() override {
        input_ = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(input_, INVALID_HANDLE_VALUE);
        saved_ = Console.consoleInput;
        Console.consoleInput = input_;
        ASSERT_TRUE(FlushConsoleInputBuffer(input_));
        StandinFaultConsoleReads(STANDIN_READ_WORKS, 0);
    }
    void TearDown() override {
        StandinFaultConsoleReads(STANDIN_READ_WORKS, 0);
        FlushConsoleInputBuffer(input_);
        Console.consoleInput = saved_;
        CloseHandle(input_);
    }
    DWORD Queued() {
        DWORD count = 0;
        EXPECT_TRUE(GetNumberOfConsoleInputEvents(input_, &count));
        return count;
    }

    HANDLE input_ = INVALID_HANDLE_VALUE;
    HANDLE saved_ = nullptr;
};

TEST_F(KeyWaitingFaultTest, ARemovalThatFailsOrRemovesNothingGivesNoKeyAtOnceAndTheNextCallLooksAgain) {
    for (StandinReadFault fault : {STANDIN_READ_REFUSED, STANDIN_READ_REMOVES_NOTHING}) {
        const char *name = fault == STANDIN_READ_REFUSED ? "failed removal" : "removal of nothing";
        ASSERT_TRUE(FlushConsoleInputBuffer(input_));
        INPUT_RECORD records[2] = {};
        records[0].EventType = FOCUS_EVENT;
        records[1].EventType = KEY_EVENT;
        records[1].Event.KeyEvent = {TRUE, 1, 'X', 0x2D, {}, 0};
        records[1].Event.KeyEvent.uChar.AsciiChar = 'x';
        DWORD written = 0;
        ASSERT_TRUE(WriteConsoleInputA(input_, records, 2, &written));

        StandinFaultConsoleReads(fault, kFaultyReads);
        const std::uint64_t reads = StandinConsoleReadCalls();
        EXPECT_EQ(KeyWaiting(), 0) << name << ": the press behind the focus event is not seen";
        EXPECT_EQ(StandinConsoleReadCalls() - reads, 1u) << name << ": one attempt, no spinning in the same call";
        EXPECT_EQ(Queued(), 2u) << name;
        EXPECT_EQ(KeyWaiting(), 0) << name;
        EXPECT_EQ(StandinConsoleReadCalls() - reads, 2u) << name << ": each call tries once";

        StandinFaultConsoleReads(STANDIN_READ_WORKS, 0);
        EXPECT_EQ(KeyWaiting(), -1) << name << ": once removals work again, the press is found";
        EXPECT_EQ(Queued(), 1u) << name;
    }
}

}  // namespace
