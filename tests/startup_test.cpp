// What start-up captures: the command line's tail, the show command, and the
// floating-point set-up of the program's thread.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "demo/command_line.h"
#include "runtime/startup.h"

namespace {

struct TailCase {
    const char *name;
    std::string line;
    std::string tail;
};

const TailCase kTails[] = {
    {"quoted path with spaces", "\"C:\\Program Files\\demo.exe\"   one two", "one two"},
    {"plain name and one argument", "demo.exe one", "one"},
    {"plain name alone", "demo.exe", ""},
    {"a tab is not skipped and ends the name", "demo.exe\tx", "\tx"},
    {"a tab after spaces stays", "demo.exe  \tx", "\tx"},
    {"no space after the closing quote", "\"demo.exe\"x", "x"},
    {"empty quoted name", "\"\"  x", "x"},
    {"a quote that never closes", "\"demo.exe one", ""},
    {"empty line", "", ""},
    {"only spaces", "    ", ""},
    {"leading spaces: the name is empty", "  demo.exe", "demo.exe"},
    {"high bytes belong to the name", "d\xE9mo.exe x", "x"},
    {"a quote inside a plain name has no meaning", "de\"mo x\"y", "x\"y"},
    {"a control byte ends the name", "demo\x01x", "\x01x"},
};

}  // namespace

TEST(StartUp, SkipProgramNameFindsTheCommandTail) {
    for (const TailCase &c : kTails) {
        const std::string row = " [" + (testing::Message() << (c.name)).GetString() + "]";
        const char *tail = SkipProgramName(c.line.c_str());
        EXPECT_EQ(std::string(tail), c.tail) << row;
        EXPECT_GE(tail, c.line.c_str()) << row;
        EXPECT_LE(tail, c.line.c_str() + c.line.size()) << "the tail points into the line itself" << row;
    }
    std::string alone = "demo.exe";
    EXPECT_EQ(SkipProgramName(alone.c_str()), alone.c_str() + alone.size()) << "the empty tail is the terminator";
}

TEST(StartUp, ShowCommandIsTheGivenOneOnlyWhenFlagged) {
    STARTUPINFOA info{};
    info.wShowWindow = 3;
    EXPECT_EQ(ShowCommandOf(info), 10u) << "SW_SHOWDEFAULT without STARTF_USESHOWWINDOW";
    info.dwFlags = STARTF_USESHOWWINDOW;
    EXPECT_EQ(ShowCommandOf(info), 3u);
    info.wShowWindow = 0xFFFF;
    EXPECT_EQ(ShowCommandOf(info), 0xFFFFu) << "zero-extended";
    info.dwFlags = 0x100;  // other flags only
    EXPECT_EQ(ShowCommandOf(info), 10u);
}

TEST(StartUp, AfterInitialisationADivisionByZeroGivesAnInfinity) {
    StartupRecord record{};
    record.startReason = 1;
    InitialiseRuntime(record);
    volatile double zero = 0.0, one = 1.0;
    double quotient = one / zero;
    EXPECT_TRUE(std::isinf(quotient));
    EXPECT_TRUE(std::isnan(zero / zero)) << "an invalid operation gives a NaN, not a trap";
}
