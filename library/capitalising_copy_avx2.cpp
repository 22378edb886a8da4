// The capitalising copy 32 bytes at a time with AVX2. Only called where
// CanRunAvx2 holds, so these functions alone are built for AVX2; strings
// shorter than a block go to the SSE2 copies.
#include <immintrin.h>

#include "library/capitalising_copy.h"
#include "library/capitalising_copy_x86.h"

// A per-function target rather than a pragma for the file: GCC and Clang
// both take it, and Clang ignores GCC's pragma.
#define AVX2_CODE __attribute__((target("avx2")))

namespace {

constexpr std::uint32_t kBlock = 32;

AVX2_CODE inline __m256i Load(const unsigned char *at) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i *>(at));
}

// The same bytes at the same offset in both destinations.
AVX2_CODE inline void Store(unsigned char *to, unsigned char *also, std::uint32_t at, __m256i bytes) {
    _mm256_storeu_si256(reinterpret_cast<__m256i *>(to + at), bytes);
    _mm256_storeu_si256(reinterpret_cast<__m256i *>(also + at), bytes);
}

AVX2_CODE inline bool HasZero(__m256i bytes) {
    return _mm256_movemask_epi8(_mm256_cmpeq_epi8(bytes, _mm256_setzero_si256())) != 0;
}

// Thirty-two bytes capitalised, given the bytes that come before them: the
// original ones, which start the same words as the capitalised ones would.
AVX2_CODE inline __m256i Capitalised(__m256i bytes, __m256i before) {
    const __m256i space = _mm256_set1_epi8(0x20);
    // a-z moved to the bottom of the signed range: one signed comparison.
    __m256i moved = _mm256_add_epi8(bytes, _mm256_set1_epi8(0x80 - 0x61));
    __m256i lower = _mm256_cmpgt_epi8(_mm256_set1_epi8(-0x80 + 26), moved);
    __m256i starts = _mm256_cmpeq_epi8(before, space);
    return _mm256_xor_si256(bytes, _mm256_and_si256(_mm256_and_si256(lower, starts), space));
}

// The bytes moved up one, with a space in the lowest: the bytes before the
// string's first block, which has nothing before it in memory.
AVX2_CODE inline __m256i AfterASpace(__m256i bytes) {
    // The low half moved into the high one, zeros below: what each 16-byte
    // half takes its lowest byte from.
    __m256i lowUp = _mm256_permute2x128_si256(bytes, bytes, 0x08);
    return _mm256_or_si256(_mm256_alignr_epi8(bytes, lowUp, 15), _mm256_set_epi64x(0, 0, 0, 0x20));
}

}  // namespace

AVX2_CODE void CopyCapitalisedAvx2(unsigned char *to, unsigned char *also, const unsigned char *from,
                                   std::uint32_t count) {
    if (count < kBlock) return CopyCapitalisedSse2(to, also, from, count);
    __m256i first = Load(from);
    if (HasZero(first)) return CopyCapitalisedBytes(to, also, from, count, 0x20);
    Store(to, also, 0, Capitalised(first, AfterASpace(first)));
    if (count == kBlock) return;

    // From here the stores to `to` are aligned, none straddling two cache
    // lines (those to `also` as well where the two are aligned alike); the
    // bytes between lie in the first block and come out the same again.
    auto done = static_cast<std::uint32_t>(kBlock - reinterpret_cast<std::uintptr_t>(to) % kBlock);
    // Two blocks at a time, with one test for a zero byte in either.
    for (; count - done >= 2 * kBlock; done += 2 * kBlock) {
        const unsigned char *at = from + done;
        __m256i a = Load(at), b = Load(at + kBlock);
        if (HasZero(_mm256_min_epu8(a, b))) break;
        Store(to, also, done, Capitalised(a, Load(at - 1)));
        Store(to, also, done + kBlock, Capitalised(b, Load(at + kBlock - 1)));
    }
    for (; count - done >= kBlock; done += kBlock) {
        __m256i bytes = Load(from + done);
        if (HasZero(bytes)) break;
        Store(to, also, done, Capitalised(bytes, Load(from + done - 1)));
    }
    if (count - done < kBlock && done < count) {
        // The last block ends where the string ends, over bytes already done.
        const std::uint32_t last = count - kBlock;
        __m256i bytes = Load(from + last);
        if (!HasZero(bytes)) return Store(to, also, last, Capitalised(bytes, Load(from + last - 1)));
    }
    // The rest from the block that holds a zero byte.
    CopyCapitalisedBytes(to + done, also + done, from + done, count - done, from[done - 1]);
}
