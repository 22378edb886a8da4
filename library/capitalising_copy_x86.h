// The wide capitalising copies of x86 processors, and which of them this
// processor can run. CopyCapitalised picks one; tests drive each directly.
#pragma once

#include <cstdint>

using CapitalisingCopy = void (*)(unsigned char *to, const unsigned char *from, std::uint32_t count);

// 16 bytes at a time; every x86 build assumes SSE2.
void CopyCapitalisedSse2(unsigned char *to, const unsigned char *from, std::uint32_t count);
// 64 bytes at a time, with masked loads and stores for the ends. Only where
// CanRunAvx512 says so.
void CopyCapitalisedAvx512(unsigned char *to, const unsigned char *from, std::uint32_t count);

// True when the processor has AVX-512 F and BW and the system saves their
// registers on a thread switch.
bool CanRunAvx512();
