// The capitalising walk over a string's bytes, apart from the export so that
// tests can drive it on any buffer.
#pragma once

#include <cstdint>

// Upper-cases, in place, every a-z that starts a word: at the start of the
// bytes and after every space (0x20). Stops at the first zero byte.
void CapitaliseWords(unsigned char *cursor);
