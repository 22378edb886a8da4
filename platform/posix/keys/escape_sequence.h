// The shapes of what a terminal sends: UTF-8 characters, and escape sequences
// (CSI and SS3) measured by byte class and split into numeric parameters,
// without any meaning attached yet.
#pragma once

#include <cstddef>
#include <cstdint>

namespace standin {

// The length of the UTF-8 character at b, 0 when it may be cut short (unless
// final), and 1 for a byte that starts none: that byte then stands for itself
// as a code point.
std::size_t Utf8Character(const unsigned char *b, std::size_t n, bool final, std::uint32_t &codePoint);

// Parameters of a sequence: up to four ';' fields of up to four ':' parts.
struct Params {
    static constexpr int kFields = 4;
    std::uint32_t value[kFields][kFields] = {};
    bool present[kFields][kFields] = {};
    int fields = 0;

    bool Has(int f, int p) const { return present[f][p]; }
    std::uint32_t Get(int f, int p, std::uint32_t fallback) const { return present[f][p] ? value[f][p] : fallback; }
};

Params ParseParams(const unsigned char *p, std::size_t n);

// A field holding a modifier parameter (1 + bits), as bits.
unsigned ModifierBits(const Params &p, int field);

// Longest escape sequence taken as one.
constexpr std::size_t kLongestSequence = 64;

struct Shape {
    enum Status { Complete, Incomplete, Malformed } status;
    std::size_t length;  // of the whole sequence, introducer included
    unsigned char marker;  // private marker < = > ?, or 0
    std::size_t paramsStart, paramsEnd;
    bool intermediates;
    unsigned char finalByte;
};

// Measures the sequence whose introducer ends at b[start]: parameter bytes,
// intermediate bytes, then one final byte. A sequence is malformed when
// another byte comes first or it grows past kLongestSequence.
Shape MeasureSequence(const unsigned char *b, std::size_t n, std::size_t start, bool allowMarker);

}  // namespace standin
