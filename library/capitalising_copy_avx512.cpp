// The capitalising copy 64 bytes at a time with AVX-512 BW. Only called where
// CanRunAvx512 holds, so these functions alone are built for AVX-512; strings
// shorter than a block go to the AVX2 copy, which every such processor runs.
#include <immintrin.h>

#include "library/capitalising_copy.h"
#include "library/capitalising_copy_x86.h"

// A per-function target rather than a pragma for the file: GCC and Clang
// both take it, and Clang ignores GCC's pragma.
#define AVX512_CODE __attribute__((target("avx512f,avx512bw")))

namespace {

constexpr std::uint32_t kBlock = 64;

AVX512_CODE inline __m512i Load(const unsigned char *at) {
    return _mm512_loadu_si512(at);
}

// Stores the block capitalised at the offset at in both destinations, given the bytes before each of its lanes:
// the original ones, which start the same words as the capitalised ones
// would. Plain stores throughout: masked ones are slow on some processors.
AVX512_CODE inline void StoreCapitalised(unsigned char *to, unsigned char *also, std::uint32_t at, __m512i bytes,
                                         __m512i before) {
    const __m512i space = _mm512_set1_epi8(0x20);
    __mmask64 starts = _mm512_cmpeq_epi8_mask(before, space);
    __mmask64 lower =
        _mm512_mask_cmplt_epu8_mask(starts, _mm512_sub_epi8(bytes, _mm512_set1_epi8(0x61)), _mm512_set1_epi8(26));
    const __m512i out = _mm512_mask_sub_epi8(bytes, lower, bytes, space);
    _mm512_storeu_si512(to + at, out);
    _mm512_storeu_si512(also + at, out);
}

AVX512_CODE inline bool HasZero(__m512i bytes) {
    return _mm512_testn_epi8_mask(bytes, bytes) != 0;
}

// Each lane's byte moved up one lane, with a space in lane 0: the bytes
// before the string's first block, which has nothing before it in memory.
AVX512_CODE inline __m512i AfterASpace(__m512i bytes) {
    const __m512i space = _mm512_set1_epi8(0x20);
    // Up one 16-byte lane first, then one byte within each lane.
    __m512i upByLane = _mm512_mask_alignr_epi32(space, 0xFFFF, bytes, space, 12);
    return _mm512_alignr_epi8(bytes, upByLane, 15);
}

}  // namespace

AVX512_CODE void CopyCapitalisedAvx512(unsigned char *to, unsigned char *also, const unsigned char *from,
                                       std::uint32_t count) {
    if (count < kBlock) return CopyCapitalisedAvx2(to, also, from, count);
    __m512i first = Load(from);
    if (HasZero(first)) return CopyCapitalisedBytes(to, also, from, count, 0x20);
    StoreCapitalised(to, also, 0, first, AfterASpace(first));
    if (count == kBlock) return;

    // From here the stores to `to` are aligned, none straddling two cache
    // lines (those to `also` as well where the two are aligned alike); the
    // bytes between lie in the first block and come out the same again.
    auto done = static_cast<std::uint32_t>(kBlock - reinterpret_cast<std::uintptr_t>(to) % kBlock);
    // Two blocks at a time, with one test for a zero byte in either: the
    // loop's own work, not the copy, decides the time of a few KiB.
    for (; count - done >= 2 * kBlock; done += 2 * kBlock) {
        const unsigned char *at = from + done;
        __m512i a = Load(at), b = Load(at + kBlock);
        if (HasZero(_mm512_min_epu8(a, b))) break;
        StoreCapitalised(to, also, done, a, Load(at - 1));
        StoreCapitalised(to, also, done + kBlock, b, Load(at + kBlock - 1));
    }
    for (; count - done >= kBlock; done += kBlock) {
        __m512i bytes = Load(from + done);
        if (HasZero(bytes)) break;
        StoreCapitalised(to, also, done, bytes, Load(from + done - 1));
    }
    if (count - done < kBlock && done < count) {
        // The last block ends where the string ends, over bytes already done.
        const std::uint32_t last = count - kBlock;
        __m512i bytes = Load(from + last);
        if (!HasZero(bytes)) return StoreCapitalised(to, also, last, bytes, Load(from + last - 1));
    }
    // The rest from the block that holds a zero byte.
    CopyCapitalisedBytes(to + done, also + done, from + done, count - done, from[done - 1]);
}
