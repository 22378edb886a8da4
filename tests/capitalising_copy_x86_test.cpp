// Each wide capitalising copy of x86 against the plain walk, and the
// processor check that decides which of them runs.
#include "library/capitalising_copy_x86.h"

#include "tests/support/plain_walk_reference.h"

namespace ref = plain_walk_reference;

TEST(CapitalisingCopyX86, Sse2CopyGivesThePlainWalksBytes) {
    ref::ExpectSameAsThePlainWalk(&CopyCapitalisedSse2, 4);
}

TEST(CapitalisingCopyX86, Avx512CopyGivesThePlainWalksBytes) {
    if (!CanRunAvx512()) GTEST_SKIP() << "this processor or system does not run AVX-512";
    ref::ExpectSameAsThePlainWalk(&CopyCapitalisedAvx512, 5);
}

TEST(CapitalisingCopyX86, Avx512IsChosenExactlyWhereTheCompilersOwnCheckFindsIt) {
    __builtin_cpu_init();
    bool compilerSays = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
    EXPECT_EQ(CanRunAvx512(), compilerSays);
}
