// Each wide capitalising copy of x86 that this processor runs, against the
// plain walk, and the processor check that decides which of them runs.
#include "library/capitalising_copy_x86.h"

#include "platform/windows.h"
#include "tests/support/plain_walk_reference.h"

namespace ref = plain_walk_reference;

// A copy the processor cannot run is left out rather than skipped: a skip
// message goes through OutputDebugStringA, which 32-bit Wine under qemu does
// not survive.
TEST(CapitalisingCopyX86, EveryWideCopyThisProcessorRunsGivesThePlainWalksBytes) {
    struct Wide {
        const char *name;
        CapitalisingCopy copy;
        bool runs;
    } copies[] = {
        {"SSE2", &CopyCapitalisedSse2, true},
        {"short strings", &CopyCapitalisedShort, true},
        {"AVX2", &CopyCapitalisedAvx2, CanRunAvx2()},
        {"AVX-512", &CopyCapitalisedAvx512, CanRunAvx512()},
    };
    std::uint32_t seed = 4;
    for (const Wide &wide : copies) {
        if (!wide.runs) continue;
        const std::string row = " [" + (testing::Message() << (wide.name)).GetString() + "]";
        ref::ExpectSameAsThePlainWalk(wide.copy, seed++);
        ASSERT_FALSE(HasFailure()) << "the failures above are the" << row << " copy's";
    }
}

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
