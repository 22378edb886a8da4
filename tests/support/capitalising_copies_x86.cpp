// The capitalising copies of an x86 build.
#include "tests/support/capitalising_copies.h"

#include "library/capitalising_copy.h"
#include "library/capitalising_copy_x86.h"

// A copy the processor cannot run is left out rather than skipped: a test's
// skip message goes through OutputDebugStringA, which 32-bit Wine under qemu
// does not survive.
std::vector<NamedCopy> CapitalisingCopies() {
    std::vector<NamedCopy> copies{
        {"chosen", &CopyCapitalised}, {"SSE2", &CopyCapitalisedSse2}, {"short strings", &CopyCapitalisedShort}};
    if (CanRunAvx2()) copies.push_back({"AVX2", &CopyCapitalisedAvx2});
    if (CanRunAvx512()) copies.push_back({"AVX-512", &CopyCapitalisedAvx512});
    return copies;
}
