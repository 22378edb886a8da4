// CopyCapitalised on x86: the widest copy that this processor and system can
// run, chosen on the first call, since not every build of the library has
// start-up code that would run before it.
#include <cpuid.h>

#include "library/capitalising_copy.h"
#include "library/capitalising_copy_x86.h"

namespace {

// Null until the first call. Threads that race on it choose the same copy,
// so the race is harmless; the atomic accesses keep it defined.
CapitalisingCopy chosenCopy;

// XCR0: which register sets the system saves on a thread switch.
unsigned SavedRegisterSets() {
    unsigned low, high;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return low;
}

}  // namespace

bool CanRunAvx512() {
    unsigned a, b, c, d;
    if (__get_cpuid(1, &a, &b, &c, &d) == 0 || (c & bit_OSXSAVE) == 0) return false;
    if (__get_cpuid_count(7, 0, &a, &b, &c, &d) == 0) return false;
    if ((b & bit_AVX512F) == 0 || (b & bit_AVX512BW) == 0) return false;
    // SSE, AVX, the mask registers and both parts of the wide registers.
    constexpr unsigned kAvx512State = 0x02 | 0x04 | 0x20 | 0x40 | 0x80;
    return (SavedRegisterSets() & kAvx512State) == kAvx512State;
}

void CopyCapitalised(unsigned char *to, const unsigned char *from, std::uint32_t count) {
    CapitalisingCopy copy = __atomic_load_n(&chosenCopy, __ATOMIC_RELAXED);
    if (copy == nullptr) {
        copy = CanRunAvx512() ? CopyCapitalisedAvx512 : CopyCapitalisedSse2;
        __atomic_store_n(&chosenCopy, copy, __ATOMIC_RELAXED);
    }
    copy(to, from, count);
}
