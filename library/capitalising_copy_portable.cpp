// The capitalising copy for processors without a wide one here.
#include "library/capitalising_copy.h"

void CopyCapitalised(unsigned char *to, unsigned char *also, const unsigned char *from, std::uint32_t count) {
    CopyCapitalisedBytes(to, also, from, count, 0x20);
}
