// The terminal reading loop over a real pseudo-terminal, with the test playing
// the terminal: keys arrive as they are typed, a lone Esc waits for its pause,
// and the keyboard protocol is switched on only when the terminal answers.
#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/posix/terminal/terminal_reader.h"

using standin::TerminalReader;
using Protocol = TerminalReader::Protocol;

namespace {

TerminalReader::Millis fakeNow = 0;
TerminalReader::Millis FakeClock() { return fakeNow; }

TerminalReader::Millis RealClock() {
    using namespace std::chrono;
    return static_cast<TerminalReader::Millis>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

const std::string kQuestions = "\x1b[?u\x1b[c";
const std::string kPush = "\x1b[>31u\x1b[?u\x1b[c";
const std::string kPop = "\x1b[<u";
const std::string kNoProtocol = "\x1b[?62;22c";  // device attributes alone

class TerminalReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(openpty(&terminal_, &program_, nullptr, nullptr, nullptr), 0);
        termios raw{};
        ASSERT_EQ(tcgetattr(program_, &raw), 0);
        cfmakeraw(&raw);
        ASSERT_EQ(tcsetattr(program_, TCSANOW, &raw), 0);
        fakeNow = 1000;
    }
    void TearDown() override {
        if (terminal_ >= 0) close(terminal_);
        close(program_);
    }

    // What the terminal receives from the program, after a short wait for it.
    std::string Received() {
        std::string bytes;
        pollfd p{terminal_, POLLIN, 0};
        while (poll(&p, 1, 50) > 0 && (p.revents & POLLIN)) {
            char buffer[256];
            ssize_t n = read(terminal_, buffer, sizeof buffer);
            if (n <= 0) break;
            bytes.append(buffer, static_cast<std::size_t>(n));
        }
        return bytes;
    }

    void Type(const std::string &bytes) {
        ASSERT_EQ(write(terminal_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        pollfd p{program_, POLLIN, 0};
        ASSERT_EQ(poll(&p, 1, 1000), 1) << "the bytes reach the program's side";
    }

    std::vector<INPUT_RECORD> Pump(TerminalReader &reader) {
        std::vector<INPUT_RECORD> out;
        reader.Pump(out);
        return out;
    }

    // The characters of the key presses, which is enough to tell keys apart here.
    static std::string Presses(const std::vector<INPUT_RECORD> &records) {
        std::string s;
        for (const INPUT_RECORD &r : records)
            if (r.EventType == KEY_EVENT && r.Event.KeyEvent.bKeyDown)
                s += r.Event.KeyEvent.uChar.AsciiChar != 0 ? r.Event.KeyEvent.uChar.AsciiChar : '#';
        return s;
    }

    int terminal_ = -1;
    int program_ = -1;
};

TEST_F(TerminalReaderTest, TypedKeysArriveWithoutWaiting) {
    TerminalReader reader(program_, FakeClock);
    EXPECT_TRUE(Pump(reader).empty()) << "nothing typed yet, and the call returns at once";
    Type("ab");
    std::vector<INPUT_RECORD> records = Pump(reader);
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(Presses(records), "ab");
    EXPECT_EQ(records[1].Event.KeyEvent.bKeyDown, FALSE) << "each press has its release";
}

TEST_F(TerminalReaderTest, ALoneEscIsTheEscKeyOnlyAfterAPause) {
    TerminalReader reader(program_, FakeClock);
    Type("\x1b");
    EXPECT_TRUE(Pump(reader).empty());
    fakeNow += TerminalReader::kEscWait - 1;
    EXPECT_TRUE(Pump(reader).empty()) << "it may still be the start of a sequence";
    fakeNow += 1;
    EXPECT_EQ(Presses(Pump(reader)), "\x1b");
}

// A program that polls while a lone Esc waits out its pause sleeps through
// the pause instead of spinning on it, and a key still wakes it at once.
TEST_F(TerminalReaderTest, WaitingWhileAnEscWaitsForItsPauseSleeps) {
    TerminalReader reader(program_, RealClock);
    Type("\x1b");
    EXPECT_TRUE(Pump(reader).empty());
    auto start = std::chrono::steady_clock::now();
    reader.Wait(20);
    auto slept = std::chrono::steady_clock::now() - start;
    EXPECT_GE(slept, std::chrono::milliseconds(15)) << "returned at once: the caller spins for the pause";
    std::this_thread::sleep_for(std::chrono::milliseconds(TerminalReader::kEscWait));
    start = std::chrono::steady_clock::now();
    reader.Wait(1000);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100)) << "the pause is over";
    EXPECT_EQ(Presses(Pump(reader)), "\x1b");
}

TEST_F(TerminalReaderTest, ASequenceSplitAcrossReadsIsOneKey) {
    TerminalReader reader(program_, FakeClock);
    Type("\x1b[");
    EXPECT_TRUE(Pump(reader).empty());
    fakeNow += TerminalReader::kEscWait / 2;
    Type("1;5A");
    std::vector<INPUT_RECORD> records = Pump(reader);
    ASSERT_EQ(records.size(), 4u) << "Ctrl down, Up down, Up up, Ctrl up";
    EXPECT_EQ(records[1].Event.KeyEvent.wVirtualKeyCode, VK_UP);
}

TEST_F(TerminalReaderTest, TheProtocolIsSwitchedOnWhenTheTerminalAnswers) {
    TerminalReader reader(program_, FakeClock);
    Pump(reader);
    EXPECT_EQ(Received(), kQuestions);
    EXPECT_EQ(reader.protocol(), Protocol::Asked);

    Type("\x1b[?0u" + kNoProtocol);
    EXPECT_TRUE(Pump(reader).empty()) << "answers are no keys";
    EXPECT_EQ(reader.protocol(), Protocol::On);
    EXPECT_EQ(Received(), kPush);
    Type("\x1b[?31u" + kNoProtocol);
    Pump(reader);

    // Shift alone, then Shift+a, reported press by press.
    Type("\x1b[57441;2u\x1b[97;2u\x1b[97;2:3u\x1b[57441;1:3u");
    std::vector<INPUT_RECORD> records = Pump(reader);
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0].Event.KeyEvent.wVirtualScanCode, 0x2A);
    EXPECT_TRUE(records[0].Event.KeyEvent.bKeyDown);
    EXPECT_EQ(records[1].Event.KeyEvent.uChar.AsciiChar, 'A');

    std::vector<INPUT_RECORD> left;
    reader.Leave(left);
    EXPECT_EQ(Received(), kPop);
    EXPECT_TRUE(left.empty());
}

TEST_F(TerminalReaderTest, ATerminalWithoutTheProtocolKeepsItsOwnKeys) {
    TerminalReader reader(program_, FakeClock);
    Pump(reader);
    Received();
    Type(kNoProtocol + "x");
    EXPECT_EQ(Presses(Pump(reader)), "x");
    EXPECT_EQ(reader.protocol(), Protocol::Off);
    EXPECT_EQ(Received(), "") << "nothing is pushed";
    std::vector<INPUT_RECORD> left;
    reader.Leave(left);
    EXPECT_EQ(Received(), "") << "and nothing popped";
}

TEST_F(TerminalReaderTest, ASilentTerminalIsGivenUpOnAfterTheWait) {
    TerminalReader reader(program_, FakeClock);
    Pump(reader);
    fakeNow += TerminalReader::kReplyWait - 1;
    Pump(reader);
    EXPECT_EQ(reader.protocol(), Protocol::Asked);
    fakeNow += 1;
    Pump(reader);
    EXPECT_EQ(reader.protocol(), Protocol::Off);
    EXPECT_EQ(reader.owed(), 1) << "its answer may still come";
    fakeNow += TerminalReader::kReplyWaitAtExit;
    EXPECT_EQ(reader.owed(), 0) << "an ending signal must not wait for a terminal that never answers";
    Type("\x1b[?1u");
    Pump(reader);
    EXPECT_EQ(reader.protocol(), Protocol::Off) << "a late answer switches nothing on";
}

TEST_F(TerminalReaderTest, LeavingWaitsBrieflyForOwedAnswersAndKeepsTheKeys) {
    TerminalReader reader(program_, RealClock);
    Pump(reader);
    Type("q" + kNoProtocol + "\x1b");
    std::vector<INPUT_RECORD> left;
    reader.Leave(left);
    EXPECT_EQ(Presses(left), "q\x1b") << "the answer is swallowed, the keys are kept, the Esc decided";
}

TEST_F(TerminalReaderTest, LeavingASilentTerminalTakesNoLongerThanTheWait) {
    TerminalReader reader(program_, RealClock);
    Pump(reader);
    TerminalReader::Millis start = RealClock();
    std::vector<INPUT_RECORD> left;
    reader.Leave(left);
    TerminalReader::Millis took = RealClock() - start;
    EXPECT_GE(took + 5, TerminalReader::kReplyWaitAtExit - 50) << "it did wait for the answer";
    EXPECT_LE(took, TerminalReader::kReplyWaitAtExit + 200);
    EXPECT_TRUE(left.empty());
}

// A slow link: the answers come long after the program stopped waiting for
// them to decide on the protocol, but still before the keyboard is handed
// back, and with a key typed after them.
TEST_F(TerminalReaderTest, AnswersSlowerThanTheProtocolWaitAreSwallowedWhenLeaving) {
    TerminalReader reader(program_, RealClock);
    Pump(reader);
    std::thread slowTerminal([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(TerminalReader::kReplyWait + 300));
        std::string answers = "\x1b[?0u" + kNoProtocol + "x";
        EXPECT_EQ(write(terminal_, answers.data(), answers.size()), static_cast<ssize_t>(answers.size()));
    });
    std::vector<INPUT_RECORD> left;
    reader.Leave(left);
    slowTerminal.join();
    EXPECT_EQ(Presses(left), "x") << "the answers are no keys; the key after them is kept";
    pollfd p{program_, POLLIN, 0};
    EXPECT_EQ(poll(&p, 1, 100), 0) << "the answers were left for the next program to read";
}

TEST_F(TerminalReaderTest, AnAnswerComingWhileLeavingSwitchesNothingOn) {
    TerminalReader reader(program_, RealClock);
    Pump(reader);
    Received();
    Type("\x1b[?0u" + kNoProtocol);
    std::vector<INPUT_RECORD> left;
    reader.Leave(left);
    EXPECT_EQ(Received(), "") << "neither pushed nor popped";
    EXPECT_EQ(reader.protocol(), Protocol::Off);
}

TEST_F(TerminalReaderTest, AHungUpTerminalEndsReadingWithoutSpinning) {
    TerminalReader reader(program_, FakeClock);
    Type("k\x1b");
    EXPECT_EQ(Presses(Pump(reader)), "k");
    EXPECT_FALSE(reader.gone());
    close(terminal_);
    terminal_ = -1;
    EXPECT_EQ(Presses(Pump(reader)), "\x1b") << "no more can come: the Esc is the Esc key at once";
    EXPECT_TRUE(reader.gone()) << "the console input is gone: a waiting program must not wait on";
    EXPECT_TRUE(Pump(reader).empty());
    std::vector<INPUT_RECORD> left;
    reader.Leave(left);
    EXPECT_TRUE(left.empty());
}

}  // namespace
