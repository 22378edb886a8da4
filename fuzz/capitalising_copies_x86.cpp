// The capitalising copies of an x86 build.
#include "fuzz/capitalising_copies.h"

#include "library/capitalising_copy.h"
#include "library/capitalising_copy_x86.h"

std::vector<NamedCopy> CapitalisingCopies() {
    std::vector<NamedCopy> copies{{"chosen", &CopyCapitalised}, {"SSE2", &CopyCapitalisedSse2}};
    if (CanRunAvx2()) copies.push_back({"AVX2", &CopyCapitalisedAvx2});
    if (CanRunAvx512()) copies.push_back({"AVX-512", &CopyCapitalisedAvx512});
    return copies;
}
