// The processor check that decides which wide capitalising copy of x86 runs,
// and the switch that narrows the choice. The copies themselves are held to
// the model with every other copy, in capitalising_copy_test.cpp.
#include "library/capitalising_copy_x86.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/windows.h"

TEST(CapitalisingCopyX86, EachWideCopyRunsExactlyWhereTheCompilersOwnCheckFindsIt) {
    __builtin_cpu_init();
    EXPECT_EQ(CanRunAvx2(), __builtin_cpu_supports("avx2") != 0);
    EXPECT_EQ(CanRunAvx512(), __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw"));
}

// The switch that tests and benchmarks use to run the narrower copies.
TEST(CapitalisingCopyX86, TheWidestCopySwitchNarrowsTheChoiceAndNeverWidensIt) {
    const CopyWidth runs = CanRunAvx512() ? CopyWidth::Avx512 : CanRunAvx2() ? CopyWidth::Avx2 : CopyWidth::Sse2;
    char saved[16];
    DWORD savedLength = GetEnvironmentVariableA("VELMORIN_WIDEST_COPY", saved, sizeof saved);
    struct Case {
        const char *value;  // null: unset
        CopyWidth cap;
    } cases[] = {
        {nullptr, CopyWidth::Avx512}, {"sse2", CopyWidth::Sse2},     {"avx2", CopyWidth::Avx2},
        {"avx512", CopyWidth::Avx512}, {"avx", CopyWidth::Avx512},    {"sse2 ", CopyWidth::Avx512},
        {"", CopyWidth::Avx512},       {"avx2avx2", CopyWidth::Avx512},
    };
    for (const Case &c : cases) {
        const std::string row = " [" + std::string(c.value != nullptr ? c.value : "unset") + "]";
        SetEnvironmentVariableA("VELMORIN_WIDEST_COPY", c.value);
        EXPECT_EQ(static_cast<int>(WidestCopy()), static_cast<int>(c.cap < runs ? c.cap : runs)) << row;
    }
    SetEnvironmentVariableA("VELMORIN_WIDEST_COPY",
                            savedLength > 0 && savedLength < sizeof saved ? saved : nullptr);
    EXPECT_EQ(CopyOfWidth(CopyWidth::Sse2), &CopyCapitalisedSse2);
    EXPECT_EQ(CopyOfWidth(CopyWidth::Avx2), &CopyCapitalisedAvx2);
    EXPECT_EQ(CopyOfWidth(CopyWidth::Avx512), &CopyCapitalisedAvx512);
}
