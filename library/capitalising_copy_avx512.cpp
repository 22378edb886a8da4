// The capitalising copy 64 bytes at a time with AVX-512 BW. Masked loads and
// stores take the first and last blocks whole, so that short strings, the
// common case, make no byte-at-a-time pass. Only called where CanRunAvx512
// holds, so these functions alone are built for AVX-512.
#include <immintrin.h>

#include "library/capitalising_copy.h"
#include "library/capitalising_copy_x86.h"
#include "runtime/strings.h"

// A per-function target rather than a pragma for the file: GCC and Clang
// both take it, and Clang ignores GCC's pragma.
#define AVX512_CODE __attribute__((target("avx512f,avx512bw")))

namespace {

constexpr std::uint32_t kBlock = 64;

// The lanes that hold the next `left` bytes.
__mmask64 LanesFor(std::uint32_t left) {
    return left >= kBlock ? ~__mmask64(0) : (__mmask64(1) << left) - 1;
}

// Each lane's byte moved up one lane, with a space in lane 0: the bytes
// before the string's first block, which has nothing before it in memory.
AVX512_CODE __m512i AfterASpace(__m512i bytes, __m512i space) {
    // Up one 16-byte lane first, then one byte within each lane.
    __m512i upByLane = _mm512_mask_alignr_epi32(space, 0xFFFF, bytes, space, 12);
    return _mm512_alignr_epi8(bytes, upByLane, 15);
}

// Stores the block's lanes capitalised, given the bytes before each of them,
// and tells whether it held a zero byte, where the walk ends.
AVX512_CODE inline bool StoreCapitalised(unsigned char *to, __m512i bytes, __m512i before, __mmask64 lanes) {
    const __m512i space = _mm512_set1_epi8(0x20);
    __mmask64 zeros = _mm512_mask_testn_epi8_mask(lanes, bytes, bytes);
    __mmask64 starts = _mm512_cmpeq_epi8_mask(before, space);
    // No word starts from the first zero byte on.
    if (zeros != 0) starts &= (zeros & (~zeros + 1)) - 1;
    __mmask64 lower =
        _mm512_mask_cmplt_epu8_mask(starts, _mm512_sub_epi8(bytes, _mm512_set1_epi8(0x61)), _mm512_set1_epi8(26));
    _mm512_mask_storeu_epi8(to, lanes, _mm512_mask_sub_epi8(bytes, lower, bytes, space));
    return zeros != 0;
}

}  // namespace

AVX512_CODE void CopyCapitalisedAvx512(unsigned char *to, const unsigned char *from, std::uint32_t count) {
    if (count == 0) return;
    // The first block runs up to where the destination is aligned, so that no
    // later store straddles two cache lines.
    auto misalignment = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(to) % kBlock);
    std::uint32_t done = kBlock - misalignment;
    if (done > count) done = count;
    // The original bytes serve as the bytes before each lane: a change never
    // makes or removes a space, so they start the same words.
    __mmask64 lanes = LanesFor(done);
    __m512i bytes = _mm512_maskz_loadu_epi8(lanes, from);
    bool ended = StoreCapitalised(to, bytes, AfterASpace(bytes, _mm512_set1_epi8(0x20)), lanes);
    for (; !ended && count - done >= kBlock; done += kBlock) {
        bytes = _mm512_loadu_si512(from + done);
        ended = StoreCapitalised(to + done, bytes, _mm512_loadu_si512(from + done - 1), ~__mmask64(0));
    }
    if (ended) {
        // The rest goes as it is.
        CopyBytes(to + done, from + done, count - done);
    } else if (done < count) {
        lanes = LanesFor(count - done);
        bytes = _mm512_maskz_loadu_epi8(lanes, from + done);
        // Lanes past a zero byte are stored as they are: nothing is left over.
        StoreCapitalised(to + done, bytes, _mm512_maskz_loadu_epi8(lanes, from + done - 1), lanes);
    }
}
