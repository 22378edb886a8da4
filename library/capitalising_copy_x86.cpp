// CopyCapitalised on x86: the widest copy that this processor and system can
// run, chosen on the first call, since not every build of the library has
// start-up code that would run before it.
#include <cpuid.h>

#include "library/capitalising_copy.h"
#include "library/capitalising_copy_x86.h"
#include "platform/windows.h"

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

// SSE and AVX state: both halves of the 256-bit registers.
constexpr unsigned kAvxState = 0x02 | 0x04;
// Those, the mask registers and both parts of the 512-bit registers.
constexpr unsigned kAvx512State = kAvxState | 0x20 | 0x40 | 0x80;

// The widest copy that the processor and system run. Kept out of line and
// compiled for size, as are the other steps of the choice: they run once,
// and the library is small.
__attribute__((noinline, cold)) CopyWidth ProcessorWidth() {
    unsigned a, b, c, d;
    if (__get_cpuid(1, &a, &b, &c, &d) == 0 || (c & bit_OSXSAVE) == 0 || (c & bit_AVX) == 0)
        return CopyWidth::Sse2;
    const unsigned saved = SavedRegisterSets();
    if ((saved & kAvxState) != kAvxState || __get_cpuid_count(7, 0, &a, &b, &c, &d) == 0 || (b & bit_AVX2) == 0)
        return CopyWidth::Sse2;
    if ((b & bit_AVX512F) != 0 && (b & bit_AVX512BW) != 0 && (saved & kAvx512State) == kAvx512State)
        return CopyWidth::Avx512;
    return CopyWidth::Avx2;
}

// The cap that VELMORIN_WIDEST_COPY sets, in builds made with the switch; the
// widest copy where it is unset or holds anything else, and always in the
// deliverables, which read no environment.
__attribute__((noinline, cold)) CopyWidth RequestedCap() {
#ifndef VELMORIN_COPY_SWITCH
    return CopyWidth::Avx512;
#else
    auto Equal = [](const char *a, const char *b) {
        while (*a != 0 && *a == *b) ++a, ++b;
        return *a == *b;
    };
    char value[8];
    DWORD length = GetEnvironmentVariableA("VELMORIN_WIDEST_COPY", value, sizeof value);
    if (length == 0 || length >= sizeof value) return CopyWidth::Avx512;
    if (Equal(value, "sse2")) return CopyWidth::Sse2;
    if (Equal(value, "avx2")) return CopyWidth::Avx2;
    return CopyWidth::Avx512;
#endif
}

}  // namespace

bool CanRunAvx2() {
    return ProcessorWidth() >= CopyWidth::Avx2;
}

bool CanRunAvx512() {
    return ProcessorWidth() == CopyWidth::Avx512;
}

CopyWidth WidestCopy() {
    CopyWidth runs = ProcessorWidth(), cap = RequestedCap();
    return cap < runs ? cap : runs;
}

CapitalisingCopy CopyOfWidth(CopyWidth width) {
    switch (width) {
    case CopyWidth::Avx512: return CopyCapitalisedAvx512;
    case CopyWidth::Avx2: return CopyCapitalisedAvx2;
    case CopyWidth::Sse2: break;
    }
    return CopyCapitalisedSse2;
}

namespace {

__attribute__((noinline, cold)) CapitalisingCopy ChooseCopy() {
    CapitalisingCopy copy = CopyOfWidth(WidestCopy());
    __atomic_store_n(&chosenCopy, copy, __ATOMIC_RELAXED);
    return copy;
}

}  // namespace

void CopyCapitalised(unsigned char *to, unsigned char *also, const unsigned char *from, std::uint32_t count) {
    // Every wide copy hands a string shorter than 16 bytes down to this one,
    // one width at a time; straight there, a short string skips those calls.
    if (count < 16) return CopyCapitalisedShort(to, also, from, count);
    CapitalisingCopy copy = __atomic_load_n(&chosenCopy, __ATOMIC_RELAXED);
    if (copy == nullptr) copy = ChooseCopy();
    copy(to, also, from, count);
}
