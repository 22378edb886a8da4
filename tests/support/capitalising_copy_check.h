// Differential checks of a capitalising copy against the model: random
// bytes rich in what the rule looks at, every length up to a few hundred
// bytes, every alignment of the destination against a moving source.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "tests/support/capitalising_copies.h"

namespace copy_check {

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

// Every length from 0 to kLongest at every destination alignment, with the
// source's alignment moving against it; stops at the first failing case.
inline void ExpectSameAsTheModel(const NamedCopy &copy, std::uint32_t seed) {
    std::mt19937 random(seed);
    for (std::uint32_t length = 0; length <= kLongest; ++length) {
        for (std::uint32_t toOffset = 0; toOffset < kAlignments; ++toOffset) {
            std::uint32_t fromOffset = (toOffset * 7 + length) % kAlignments;
            const std::string fault = CopyFault(copy, RandomText(random, length), toOffset, fromOffset);
            EXPECT_EQ(fault, "");
            if (!fault.empty()) return;
        }
    }
}

}  // namespace copy_check
