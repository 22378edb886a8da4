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
    void (*copy)(unsigned char *to, const unsigned char *from, std::uint32_t count);
};

// The one VELMORIN picks, then on x86 each wide copy on its own.
std::vector<NamedCopy> CapitalisingCopies();

// Copies text from a source at fromOffset to a destination at toOffset, both
// with guard bytes around them and the source followed by its zero byte, as
// every string's data is. Returns what went wrong, or the empty string when
// the destination holds the model's bytes, the guards are intact and the
// source is unchanged.
inline std::string CopyFault(const NamedCopy &named, const std::string &text, std::size_t toOffset,
                             std::size_t fromOffset) {
    constexpr unsigned char kGuard = 0xCD;
    constexpr std::size_t kSlack = 64;  // the widest block
    const std::size_t n = text.size();
    std::vector<unsigned char> from(fromOffset + n + kSlack, kGuard), to(toOffset + n + kSlack, kGuard);
    std::copy(text.begin(), text.end(), from.begin() + static_cast<std::ptrdiff_t>(fromOffset));
    from[fromOffset + n] = 0;
    const std::vector<unsigned char> fromBefore = from;

    named.copy(to.data() + toOffset, from.data() + fromOffset, static_cast<std::uint32_t>(n));

    const std::string where = " (length " + std::to_string(n) + ", destination at +" + std::to_string(toOffset) +
                              ", source at +" + std::to_string(fromOffset) + ")";
    const std::string got(to.begin() + static_cast<std::ptrdiff_t>(toOffset),
                          to.begin() + static_cast<std::ptrdiff_t>(toOffset + n));
    const std::string expected = capitalising_model::CapitalisedWords(text);
    if (got != expected) {
        std::size_t at = 0;
        while (got[at] == expected[at]) ++at;
        return std::string(named.name) + " copy differs from the model at byte " + std::to_string(at) + where;
    }
    for (std::size_t i = 0; i < to.size(); ++i)
        if (i - toOffset >= n && to[i] != kGuard)
            return std::string(named.name) + " copy wrote outside its destination at " +
                   std::to_string(static_cast<std::ptrdiff_t>(i - toOffset)) + where;
    if (from != fromBefore) return std::string(named.name) + " copy changed its source" + where;
    return "";
}
