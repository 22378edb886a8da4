// The capitalising copy a byte at a time: the whole copy where no wide one is
// built, and the start and the tail of the wide one.
#include "library/capitalising_copy.h"

#include <cstring>

void CopyCapitalisedBytes(unsigned char *to, unsigned char *also, const unsigned char *from, std::uint32_t count,
                          unsigned char previous) {
    std::uint32_t i = 0;
    for (; i < count; ++i) {
        unsigned b = from[i];
        if (b == 0) break;
        // Without branches: which letters start words is as random as the text.
        unsigned starts = (previous == 0x20) & (b - 0x61u < 26u);
        const auto out = static_cast<unsigned char>(b - (starts << 5));
        to[i] = out;
        also[i] = out;
        // The original byte will do as the previous one: a change never makes
        // or removes a space, and only a space matters.
        previous = static_cast<unsigned char>(b);
    }
    std::memcpy(to + i, from + i, count - i);
    std::memcpy(also + i, from + i, count - i);
}
