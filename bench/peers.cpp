// The floor and the byte-at-a-time peer, on the same string allocator as the
// library, so that only the work on the bytes differs.
#include "bench/peers.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "platform/windows.h"

namespace {

std::uint32_t CountOf(const unsigned char *data) {
    std::uint32_t count;
    std::memcpy(&count, data - 4, sizeof count);
    return count;
}

unsigned char *NewString(std::uint32_t count) {
    return reinterpret_cast<unsigned char *>(SysAllocStringByteLen(nullptr, count));
}

void Release(unsigned char *data) {
    SysFreeString(reinterpret_cast<BSTR>(data));
}

using Copy = void (*)(unsigned char *, const unsigned char *, std::size_t);

#if defined(__x86_64__) || defined(__i386__)
// Plain copies no wider than each capitalising copy: four vectors a turn,
// the last vector of the string over bytes already copied. One body for the
// three, each compiled for its own width.
#define COPY_IN_VECTORS(Vector, Load, Store)                                                  \
    constexpr std::size_t kWidth = sizeof(Vector);                                          \
    if (count < kWidth) {                                                                   \
        for (std::size_t i = 0; i < count; ++i) to[i] = from[i];                            \
        return;                                                                             \
    }                                                                                       \
    std::size_t i = 0;                                                                      \
    for (; i + 4 * kWidth <= count; i += 4 * kWidth) {                                      \
        const Vector *at = reinterpret_cast<const Vector *>(from + i);                      \
        Vector a = Load(at), b = Load(at + 1), c = Load(at + 2), d = Load(at + 3);          \
        Vector *out = reinterpret_cast<Vector *>(to + i);                                   \
        Store(out, a);                                                                      \
        Store(out + 1, b);                                                                  \
        Store(out + 2, c);                                                                  \
        Store(out + 3, d);                                                                  \
    }                                                                                       \
    for (; i + kWidth <= count; i += kWidth)                                                \
        Store(reinterpret_cast<Vector *>(to + i), Load(reinterpret_cast<const Vector *>(from + i))); \
    if (i < count)                                                                          \
        Store(reinterpret_cast<Vector *>(to + count - kWidth),                              \
              Load(reinterpret_cast<const Vector *>(from + count - kWidth)));

__attribute__((target("sse2"))) void Copy16(unsigned char *to, const unsigned char *from, std::size_t count) {
    COPY_IN_VECTORS(__m128i, _mm_loadu_si128, _mm_storeu_si128)
}
__attribute__((target("avx2"))) void Copy32(unsigned char *to, const unsigned char *from, std::size_t count) {
    COPY_IN_VECTORS(__m256i, _mm256_loadu_si256, _mm256_storeu_si256)
}
__attribute__((target("avx512f"))) void Copy64(unsigned char *to, const unsigned char *from, std::size_t count) {
    COPY_IN_VECTORS(__m512i, _mm512_loadu_si512, _mm512_storeu_si512)
}
#undef COPY_IN_VECTORS

// The width VELMORIN_WIDEST_COPY caps the library to, read as the library
// reads it; the processor's own check decides where it is unset.
Copy SameWidthCopy() {
    const char *cap = std::getenv("VELMORIN_WIDEST_COPY");
    __builtin_cpu_init();
    const bool avx512 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
    const bool avx2 = __builtin_cpu_supports("avx2");
    if (cap != nullptr && std::strcmp(cap, "sse2") == 0) return Copy16;
    if (cap != nullptr && std::strcmp(cap, "avx2") == 0 && avx2) return Copy32;
    return avx512 ? Copy64 : avx2 ? Copy32 : Copy16;
}
#else
Copy SameWidthCopy() {
    return [](unsigned char *to, const unsigned char *from, std::size_t count) { std::memcpy(to, from, count); };
}
#endif

// What VELMORIN does besides capitalising: a working copy of the argument,
// the result as a copy of it, the working copy released. The copy is a
// template argument, so that a plain memcpy stays a call the compiler sees.
template <typename CopyBytes>
VelmorinString TwoCopies(const VelmorinString *text, CopyBytes copy) {
    const unsigned char *source = *text;
    if (source == nullptr) return nullptr;
    std::uint32_t count = CountOf(source);
    unsigned char *work = NewString(count);
    if (work == nullptr) return nullptr;
    copy(work, source, count);
    unsigned char *result = NewString(count);
    if (result != nullptr) copy(result, work, count);
    Release(work);
    return result;
}

}  // namespace

VelmorinString FloorOfSameWidth(const VelmorinString *text) {
    static const Copy copy = SameWidthCopy();
    return TwoCopies(text, copy);
}

VelmorinString StreamingCopy(const VelmorinString *text) {
    const unsigned char *source = *text;
    if (source == nullptr) return nullptr;
    std::uint32_t count = CountOf(source);
    unsigned char *copy = NewString(count);
    if (copy != nullptr) std::memcpy(copy, source, count);
    return copy;
}

VelmorinString FloorOfVelmorin(const VelmorinString *text) {
    return TwoCopies(text, [](unsigned char *to, const unsigned char *from, std::size_t count) {
        std::memcpy(to, from, count);
    });
}

VelmorinString AllocationsOnly(const VelmorinString *text) {
    return TwoCopies(text, [](unsigned char *, const unsigned char *, std::size_t) {});
}

VelmorinString CapitaliseByteAtATime(const VelmorinString *text) {
    const unsigned char *source = *text;
    if (source == nullptr) return nullptr;
    std::uint32_t count = CountOf(source);
    unsigned char *work = NewString(count);
    if (work == nullptr) return nullptr;
    for (std::uint32_t i = 0; i < count; ++i) work[i] = source[i];
    unsigned char previous = ' ';
    for (unsigned char *p = work; *p != 0; ++p) {
        if (previous == ' ' && *p >= 'a' && *p <= 'z') *p = static_cast<unsigned char>(*p - 'a' + 'A');
        previous = *p;
    }
    unsigned char *result = NewString(count);
    if (result != nullptr)
        for (std::uint32_t i = 0; i < count; ++i) result[i] = work[i];
    Release(work);
    return result;
}
