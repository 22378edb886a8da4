// The plain capitalising walk: one pass, stopping at the first zero byte.
#include "library/capitalise.h"

void CapitaliseWords(unsigned char *cursor) {
    unsigned char previous = 0x20;
    for (unsigned char b; (b = *cursor) != 0; ++cursor) {
        if (previous == 0x20 && b > 0x60 && b < 0x7B) *cursor = b = static_cast<unsigned char>(b - 0x20);
        previous = b;
    }
}
