// Each wide capitalising copy of x86 that this processor runs, against the
// plain walk, and the processor check that decides which of them runs.
#include "library/capitalising_copy_x86.h"

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

TEST(CapitalisingCopyX86, Avx512RunsExactlyWhereTheCompilersOwnCheckFindsIt) {
    __builtin_cpu_init();
    bool compilerSays = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
    EXPECT_EQ(CanRunAvx512(), compilerSays);
}
