// The plain capitalising walk, a byte at a time in place: the reference that
// the capitalising copy VELMORIN uses is tested against, byte for byte.
#pragma once

#include <cstdint>

// Upper-cases, in place, every a-z that starts a word: at the start of the
// bytes and after every space (0x20). Stops at the first zero byte.
void CapitaliseWords(unsigned char *cursor);
