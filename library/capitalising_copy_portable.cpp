// The capitalising copy for processors without a wide one here.
#include "library/capitalising_copy.h"

void CopyCapitalised(unsigned char *to, const unsigned char *from, std::uint32_t count) {
    CopyCapitalisedBytes(to, from, count, 0x20);
}
