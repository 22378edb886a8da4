// The capitalising copy 16 bytes at a time with SSE2, which every x86 build
// assumes, and the short-string copy that the SSE2 and AVX2 copies share.
// Every load and store stays inside the count bytes of the two strings.
#include <emmintrin.h>

#include "library/capitalising_copy.h"
#include "library/capitalising_copy_x86.h"

namespace {

constexpr std::uint32_t kBlock = 16;

__m128i Load(const unsigned char *at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i *>(at));
}

__m128i LoadAligned(const unsigned char *at) {
    return _mm_load_si128(reinterpret_cast<const __m128i *>(at));
}

// The same bytes at the same offset in both destinations.
void Store(unsigned char *to, unsigned char *also, std::size_t at, __m128i bytes) {
    _mm_storeu_si128(reinterpret_cast<__m128i *>(to + at), bytes);
    _mm_storeu_si128(reinterpret_cast<__m128i *>(also + at), bytes);
}

void Store8(unsigned char *to, unsigned char *also, std::uint32_t at, __m128i bytes) {
    _mm_storel_epi64(reinterpret_cast<__m128i *>(to + at), bytes);
    _mm_storel_epi64(reinterpret_cast<__m128i *>(also + at), bytes);
}

bool HasZero(__m128i bytes) {
    return _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_setzero_si128())) != 0;
}

// Sixteen bytes capitalised, given the sixteen bytes that come before them.
// The bytes before are the original ones: as a change never makes or removes
// a space, they start the same words as the capitalised ones would. Six
// steps, each one that SSE2's two-operand forms take without a register copy:
// a few kilobytes are done at the rate instructions issue, and a copy costs as
// much as a step.
__m128i Capitalised(__m128i bytes, __m128i before) {
    const __m128i space = _mm_set1_epi8(0x20);
    // a-z moved to the top of the signed range, 0x66-0x7F, and no other byte
    // above 0x65: one comparison tests both ends.
    __m128i lower = _mm_cmpgt_epi8(_mm_add_epi8(bytes, _mm_set1_epi8(0x7F - 0x7A)), _mm_set1_epi8(0x65));
    __m128i change = _mm_and_si128(_mm_and_si128(lower, _mm_cmpeq_epi8(before, space)), space);
    return _mm_xor_si128(change, bytes);
}

__m128i Load8(const unsigned char *at) {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i *>(at));
}

}  // namespace

void CopyCapitalisedShort(unsigned char *to, unsigned char *also, const unsigned char *from, std::uint32_t count) {
    if (count < 8 || count >= kBlock) return CopyCapitalisedBytes(to, also, from, count, 0x20);
    // The first and the last eight bytes, overlapping unless count is 16;
    // the bytes they share come out the same from both.
    __m128i head = Load8(from), tail = Load8(from + count - 8);
    __m128i headBefore = _mm_or_si128(_mm_slli_epi64(head, 8), _mm_cvtsi32_si128(0x20));
    __m128i tailBefore = count > 8 ? Load8(from + count - 9) : headBefore;
    __m128i bytes = _mm_unpacklo_epi64(head, tail);
    if (HasZero(bytes)) return CopyCapitalisedBytes(to, also, from, count, 0x20);
    __m128i out = Capitalised(bytes, _mm_unpacklo_epi64(headBefore, tailBefore));
    Store8(to, also, count - 8, _mm_unpackhi_epi64(out, out));
    Store8(to, also, 0, out);
}

void CopyCapitalisedSse2(unsigned char *to, unsigned char *also, const unsigned char *from, std::uint32_t count) {
    if (count < kBlock) return CopyCapitalisedShort(to, also, from, count);
    __m128i first = Load(from);
    if (HasZero(first)) return CopyCapitalisedBytes(to, also, from, count, 0x20);
    // Nothing lies before the first byte; a space is shifted in instead.
    Store(to, also, 0, Capitalised(first, _mm_or_si128(_mm_slli_si128(first, 1), _mm_cvtsi32_si128(0x20))));
    if (count == kBlock) return;

    // From here the loads from `from` are aligned, so that a step can take
    // its bytes straight from memory (and where the strings are aligned
    // alike, as strings from one allocator are, no store straddles two cache
    // lines); the bytes between lie in the first block and come out the same
    // again.
    std::size_t done = kBlock - reinterpret_cast<std::uintptr_t>(from) % kBlock;
    // Four blocks at a time, with one test for a zero byte in any of them.
    for (; count - done >= 4 * kBlock; done += 4 * kBlock) {
        const unsigned char *at = from + done;
        __m128i least = _mm_min_epu8(_mm_min_epu8(LoadAligned(at), LoadAligned(at + kBlock)),
                                     _mm_min_epu8(LoadAligned(at + 2 * kBlock), LoadAligned(at + 3 * kBlock)));
        if (HasZero(least)) break;
        Store(to, also, done, Capitalised(LoadAligned(at), Load(at - 1)));
        Store(to, also, done + kBlock, Capitalised(LoadAligned(at + kBlock), Load(at + kBlock - 1)));
        Store(to, also, done + 2 * kBlock, Capitalised(LoadAligned(at + 2 * kBlock), Load(at + 2 * kBlock - 1)));
        Store(to, also, done + 3 * kBlock, Capitalised(LoadAligned(at + 3 * kBlock), Load(at + 3 * kBlock - 1)));
    }
    for (; count - done >= kBlock; done += kBlock) {
        __m128i bytes = LoadAligned(from + done);
        if (HasZero(bytes)) break;
        Store(to, also, done, Capitalised(bytes, Load(from + done - 1)));
    }
    if (count - done < kBlock && done < count) {
        // The last block ends where the string ends, over bytes already done.
        const std::size_t last = count - kBlock;
        __m128i bytes = Load(from + last);
        if (!HasZero(bytes)) return Store(to, also, last, Capitalised(bytes, Load(from + last - 1)));
    }
    // The rest from the block that holds a zero byte.
    CopyCapitalisedBytes(to + done, also + done, from + done, count - done, from[done - 1]);
}
