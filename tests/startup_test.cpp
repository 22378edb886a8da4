// What start-up captures: the command line's tail, the show command, and the
// floating-point set-up of the program's thread.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "demo/command_line.h"
#include "runtime/startup.h"
#include "tests/support/row_label.h"

namespace {

// Bit 6 of the x87 control word is reserved and reads back as set.
constexpr std::uint16_t kX87ReservedBit = 0x40;
// The MXCSR's sticky exception flags, which any earlier arithmetic may set.
constexpr std::uint32_t kMxcsrFlags = 0x3F;

std::uint16_t ReadX87Control() {
    std::uint16_t control = 0;
#if defined(__i386__) || defined(__x86_64__)
    __asm__ volatile("fnstcw %0" : "=m"(control));
#endif
    return control;
}

std::uint32_t ReadMxcsr() {
    std::uint32_t mxcsr = 0;
#if defined(__SSE__) || defined(__x86_64__)
    __asm__ volatile("stmxcsr %0" : "=m"(mxcsr));
#endif
    return mxcsr;
}

// The opposite of what start-up sets: division by zero and invalid operations
// trap, 53-bit precision, rounding towards zero, and flush to zero on SSE.
void LoadTrappingFloatingPointControl() {
#if defined(__i386__) || defined(__x86_64__)
    std::uint16_t control = 0x0E3A;
    __asm__ volatile("fnclex\n\tfldcw %0" : : "m"(control));
#endif
#if defined(__SSE__) || defined(__x86_64__)
    std::uint32_t mxcsr = 0xFD00;
    __asm__ volatile("ldmxcsr %0" : : "m"(mxcsr));
#endif
}

// Puts the thread's floating-point control back as it was, so that a failed
// check leaves no trap armed for the tests after it.
class FloatingPointControlKept {
public:
    FloatingPointControlKept() : x87_(ReadX87Control()), mxcsr_(ReadMxcsr()) {}
    ~FloatingPointControlKept() {
#if defined(__i386__) || defined(__x86_64__)
        __asm__ volatile("fnclex\n\tfldcw %0" : : "m"(x87_));
#endif
#if defined(__SSE__) || defined(__x86_64__)
        __asm__ volatile("ldmxcsr %0" : : "m"(mxcsr_));
#endif
    }

private:
    std::uint16_t x87_;
    std::uint32_t mxcsr_;
};

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
        const std::string row = RowLabel(c.name);
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
    EXPECT_EQ(ShowCommandOf(info), static_cast<std::uint32_t>(SW_SHOWDEFAULT)) << "without STARTF_USESHOWWINDOW";
    info.dwFlags = STARTF_USESHOWWINDOW;
    EXPECT_EQ(ShowCommandOf(info), 3u);
    info.wShowWindow = 0xFFFF;
    EXPECT_EQ(ShowCommandOf(info), 0xFFFFu) << "zero-extended";
    info.dwFlags = 0x100;  // other flags only
    EXPECT_EQ(ShowCommandOf(info), static_cast<std::uint32_t>(SW_SHOWDEFAULT));
}

TEST(StartUp, AfterInitialisationADivisionByZeroGivesAnInfinity) {
    FloatingPointControlKept kept;
    LoadTrappingFloatingPointControl();
    InitialiseRuntime(kStartReasonProcessStart);
#if defined(__i386__) || defined(__x86_64__)
    // Checked before dividing: without the set-up the division would trap.
    ASSERT_EQ(ReadX87Control() & ~kX87ReservedBit, 0x133F)
        << "every exception masked, 64-bit precision, rounding to nearest";
#endif
#if defined(__SSE__) || defined(__x86_64__)
    ASSERT_EQ(ReadMxcsr() & ~kMxcsrFlags, 0x1F80u) << "every exception masked, rounding to nearest, no flush to zero";
#endif
    volatile double zero = 0.0, one = 1.0, threeQuartersOfAnUlp = 0x1.8p-53;
    double quotient = one / zero;
    EXPECT_TRUE(std::isinf(quotient));
    EXPECT_TRUE(std::isnan(zero / zero)) << "an invalid operation gives a NaN, not a trap";
    volatile double sum = one + threeQuartersOfAnUlp;
    EXPECT_EQ(sum, 1.0 + 0x1p-52) << "rounded to nearest, not towards zero";
}
