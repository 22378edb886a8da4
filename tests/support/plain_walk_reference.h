// Differential checks of a capitalising copy against the plain walk: random
// bytes rich in what the walk looks at, every length up to a few hundred
// bytes, every alignment of the destination against a moving source.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "library/capitalise.h"

namespace plain_walk_reference {

using Copy = void (*)(unsigned char *to, unsigned char *also, const unsigned char *from, std::uint32_t count);

constexpr std::uint32_t kLongest = 300;
constexpr std::uint32_t kAlignments = 64;  // the widest block

// The bytes on either side of the edges that the wide copies test with
// arithmetic tricks, in both halves of the byte range, and the space.
constexpr unsigned char kEdges[] = {' ',  ' ',  ' ',  'a',  'b',  'm',  'y',  'z',  '`',  '{',  'A',  'Z',
                                    '@',  '[',  '\t', '.',  0x7F, 0x80, 0xA0, 0xE0, 0xE1, 0xFA, 0xFB, 0xFF};

inline std::string RandomText(std::mt19937 &random, std::uint32_t length) {
    std::string text(length, '\0');
    for (char &c : text) {
        std::uint32_t pick = random() % 8;
        c = static_cast<char>(pick == 0 ? random() % 256 : kEdges[random() % sizeof kEdges]);
        if (c == 0) c = ' ';
    }
    // Half the texts keep their zero bytes out, the rest have one or a few.
    std::uint32_t zeros = length == 0 ? 0 : random() % 2 == 0 ? 0 : 1 + random() % 3;
    for (std::uint32_t i = 0; i < zeros; ++i) text[random() % length] = '\0';
    return text;
}

inline std::string PlainWalk(const std::string &text) {
    std::vector<unsigned char> bytes(text.begin(), text.end());
    bytes.push_back(0);  // the zero byte after every string's data
    CapitaliseWords(bytes.data());
    return std::string(bytes.begin(), bytes.end() - 1);
}

// Copies `text` from a source at one alignment to two destinations at two
// others, all inside guard bytes, and checks both copies against the plain
// walk, the guards and the source afterwards. Returns false at the first
// difference.
inline bool CopiesLikeThePlainWalk(Copy copy, const std::string &text, std::uint32_t toOffset,
                                   std::uint32_t fromOffset) {
    constexpr unsigned char kGuard = 0xCD;
    const auto length = static_cast<std::uint32_t>(text.size());
    // The second destination aligned unlike the first at most lengths.
    const std::uint32_t alsoOffset = (toOffset * 5 + length + 3) % kAlignments;
    std::vector<unsigned char> from(fromOffset + length + kAlignments, kGuard);
    std::vector<unsigned char> to(toOffset + length + kAlignments, kGuard);
    std::vector<unsigned char> also(alsoOffset + length + kAlignments, kGuard);
    std::copy(text.begin(), text.end(), from.begin() + fromOffset);
    from[fromOffset + length] = 0;
    const std::vector<unsigned char> fromBefore = from;

    copy(to.data() + toOffset, also.data() + alsoOffset, from.data() + fromOffset, length);

    const std::string expected = PlainWalk(text);
    bool same = true, guarded = true;
    for (auto [bytes, offset] : {std::pair{&to, toOffset}, std::pair{&also, alsoOffset}}) {
        std::string got(bytes->begin() + offset, bytes->begin() + offset + length);
        EXPECT_EQ(got, expected) << "length " << length << ", destination at " << offset << ", source at "
                                 << fromOffset;
        same = same && got == expected;
        for (std::uint32_t i = 0; i < bytes->size(); ++i)
            if ((i < offset || i >= offset + length) && (*bytes)[i] != kGuard) guarded = false;
    }
    EXPECT_TRUE(guarded) << "wrote outside a destination: length " << length << ", at " << toOffset << " and "
                         << alsoOffset;
    EXPECT_TRUE(from == fromBefore) << "changed the source: length " << length;
    return same && guarded && from == fromBefore;
}

// Every length from 0 to kLongest at every destination alignment, with the
// source's alignment moving against it; stops at the first failing case.
inline void ExpectSameAsThePlainWalk(Copy copy, std::uint32_t seed) {
    std::mt19937 random(seed);
    for (std::uint32_t length = 0; length <= kLongest; ++length) {
        for (std::uint32_t toOffset = 0; toOffset < kAlignments; ++toOffset) {
            std::uint32_t fromOffset = (toOffset * 7 + length) % kAlignments;
            if (!CopiesLikeThePlainWalk(copy, RandomText(random, length), toOffset, fromOffset)) return;
        }
    }
}

}  // namespace plain_walk_reference
