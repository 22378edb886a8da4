// KeyWaiting when the console refuses a removal, or reports one that removed
// nothing, which no handle can be made to do on purpose: this test program
// puts its own ReadConsoleInputA in front of the stand-in's, passing every
// call through unless told otherwise.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "demo/console_state.h"
#include "demo/key_waiting.h"
#include "platform/windows.h"

namespace {

enum class Removal { Works, Fails, RemovesNothing };
Removal removal = Removal::Works;
int removals = 0;

using ReadInput = BOOL (*)(HANDLE, PINPUT_RECORD, DWORD, LPDWORD);

}  // namespace

extern "C" BOOL ReadConsoleInputA(HANDLE input, PINPUT_RECORD records, DWORD length, LPDWORD read) {
    static auto real = reinterpret_cast<ReadInput>(dlsym(RTLD_NEXT, "ReadConsoleInputA"));
    ++removals;
    // A KeyWaiting that went on looking after a removal of nothing would
    // spin for ever: fail it after many, so that the test fails, not hangs.
    if (removal == Removal::RemovesNothing && removals > 1000) removal = Removal::Fails;
    if (removal == Removal::Fails) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (removal == Removal::RemovesNothing) {
        *read = 0;
        return TRUE;
    }
    return real(input, records, length, read);
}

namespace {

class KeyWaitingFaultTest : public ::testing::Test {
protected:
    void SetUp() override {
        input_ = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(input_, INVALID_HANDLE_VALUE);
        saved_ = Console.consoleInput;
        Console.consoleInput = input_;
        ASSERT_TRUE(FlushConsoleInputBuffer(input_));
        removal = Removal::Works;
        removals = 0;
    }
    void TearDown() override {
        removal = Removal::Works;
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
    for (Removal fault : {Removal::Fails, Removal::RemovesNothing}) {
        const char *name = fault == Removal::Fails ? "failed removal" : "removal of nothing";
        ASSERT_TRUE(FlushConsoleInputBuffer(input_));
        removals = 0;
        INPUT_RECORD records[2] = {};
        records[0].EventType = FOCUS_EVENT;
        records[1].EventType = KEY_EVENT;
        records[1].Event.KeyEvent = {TRUE, 1, 'X', 0x2D, {}, 0};
        records[1].Event.KeyEvent.uChar.AsciiChar = 'x';
        DWORD written = 0;
        ASSERT_TRUE(WriteConsoleInputA(input_, records, 2, &written));

        removal = fault;
        EXPECT_EQ(KeyWaiting(), 0) << name << ": the press behind the focus event is not seen";
        EXPECT_EQ(removals, 1) << name << ": one attempt, no spinning in the same call";
        EXPECT_EQ(Queued(), 2u) << name;
        EXPECT_EQ(KeyWaiting(), 0) << name;
        EXPECT_EQ(removals, 2) << name << ": each call tries once";

        removal = Removal::Works;
        EXPECT_EQ(KeyWaiting(), -1) << name << ": once removals work again, the press is found";
        EXPECT_EQ(Queued(), 1u) << name;
    }
}

}  // namespace
