// The capitalising copy: the walk done while the bytes are copied, into two
// destinations at once, so that VELMORIN passes over its text once.
#pragma once

#include <cstdint>

// Copies count bytes to both `to` and `also` and upper-cases every a-z that
// starts a word on the way, up to the first zero byte; from the zero byte on,
// the bytes are copied as they are. A word starts at the first byte and after
// every space (0x20); nothing else starts one. The destinations do not overlap
// the source, nor each other unless they are the same (then it is written
// twice with the same bytes).
void CopyCapitalised(unsigned char *to, unsigned char *also, const unsigned char *from, std::uint32_t count);

// The same, a byte at a time, for a run that starts after the byte previous
// (0x20 at the start of a string). Short strings and the tails of the wide
// copy go through here; so does every string where no wide copy is built.
void CopyCapitalisedBytes(unsigned char *to, unsigned char *also, const unsigned char *from, std::uint32_t count,
                          unsigned char previous);
