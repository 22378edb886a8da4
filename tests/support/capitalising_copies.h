// Every capitalising copy this build has and this processor runs, and the
// check of one copy against the model, for the unit tests and the fuzz target.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/capitalising_model.h"

struct NamedCopy {
    const char *name;
    // Writes the capitalised bytes to both destinations.
    void (*copy)(unsigned char *to, unsigned char *also, const unsigned char *from, std::uint32_t count);
};

// The one VELMORIN picks, then on x86 each wide copy on its own.
std::vector<NamedCopy> CapitalisingCopies();

// Copies text from a source at fromOffset to a destination at toOffset and a
// second one aligned unlike the first at most lengths, all with guard bytes
// around them and the source followed by its zero byte, as every string's
// data is. Returns what went wrong, or the empty string when both
// destinations hold the model's bytes, the guards are intact and the source
// is unchanged.
inline std::string CopyFault(const NamedCopy &named, const std::string &text, std::size_t toOffset,
                             std::size_t fromOffset) {
    constexpr unsigned char kGuard = 0xCD;
    constexpr std::size_t kSlack = 64;  // the widest block
    const std::size_t n = text.size();
    const std::size_t alsoOffset = (toOffset * 5 + n + 3) % kSlack;
    std::vector<unsigned char> from(fromOffset + n + kSlack, kGuard), to(toOffset + n + kSlack, kGuard),
        also(alsoOffset + n + kSlack, kGuard);
    std::copy(text.begin(), text.end(), from.begin() + static_cast<std::ptrdiff_t>(fromOffset));
    from[fromOffset + n] = 0;
    const std::vector<unsigned char> fromBefore = from;

    named.copy(to.data() + toOffset, also.data() + alsoOffset, from.data() + fromOffset, static_cast<std::uint32_t>(n));

    const std::string expected = capitalising_model::CapitalisedWords(text);
    struct Destination {
        const char *name;
        const std::vector<unsigned char> &bytes;
        std::size_t offset;
    };
    for (const Destination &d :
         {Destination{"destination", to, toOffset}, Destination{"second destination", also, alsoOffset}}) {
        const std::string where = " (length " + std::to_string(n) + ", " + d.name + " at +" + std::to_string(d.offset) +
                                  ", source at +" + std::to_string(fromOffset) + ")";
        const std::string got(d.bytes.begin() + static_cast<std::ptrdiff_t>(d.offset),
                              d.bytes.begin() + static_cast<std::ptrdiff_t>(d.offset + n));
        if (got != expected) {
            std::size_t at = 0;
            while (got[at] == expected[at]) ++at;
            return std::string(named.name) + " copy differs from the model at byte " + std::to_string(at) + where;
        }
        for (std::size_t i = 0; i < d.bytes.size(); ++i)
            if (i - d.offset >= n && d.bytes[i] != kGuard)
                return std::string(named.name) + " copy wrote outside its " + d.name + " at " +
                       std::to_string(static_cast<std::ptrdiff_t>(i - d.offset)) + where;
    }
    if (from != fromBefore) return std::string(named.name) + " copy changed its source";
    return "";
}
