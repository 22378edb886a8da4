// The wide capitalising copies of x86 processors, and which of them this
// processor can run. CopyCapitalised picks one; tests drive each directly.
#pragma once

#include <cstdint>

using CapitalisingCopy = void (*)(unsigned char *to, unsigned char *also, const unsigned char *from,
                                  std::uint32_t count);

// 16 bytes at a time; every x86 build assumes SSE2.
void CopyCapitalisedSse2(unsigned char *to, unsigned char *also, const unsigned char *from, std::uint32_t count);
// 32 bytes at a time. Only where CanRunAvx2 says so.
void CopyCapitalisedAvx2(unsigned char *to, unsigned char *also, const unsigned char *from, std::uint32_t count);
// 64 bytes at a time, with masked loads and stores for the ends. Only where
// CanRunAvx512 says so.
void CopyCapitalisedAvx512(unsigned char *to, unsigned char *also, const unsigned char *from, std::uint32_t count);

// Strings shorter than 16 bytes, for the wide copies: the first and last
// eight bytes in one register, a byte at a time below 8.
void CopyCapitalisedShort(unsigned char *to, unsigned char *also, const unsigned char *from, std::uint32_t count);

// True when the processor has AVX2 and the system saves the wide registers
// on a thread switch.
bool CanRunAvx2();
// True when the processor has AVX-512 F and BW and the system saves their
// registers on a thread switch.
bool CanRunAvx512();

// The copies by width, narrowest first.
enum class CopyWidth { Sse2, Avx2, Avx512 };

// The widest copy that the processor runs. In benchmark and test builds
// (VELMORIN_COPY_SWITCH) it is capped by the environment variable
// VELMORIN_WIDEST_COPY ("sse2", "avx2" or "avx512") where it is set, so that the narrower copies can be tested and measured on a processor
// that has the wider ones. The variable never widens: a value the processor
// cannot run, or one not recognised, leaves the processor's choice.
CopyWidth WidestCopy();
CapitalisingCopy CopyOfWidth(CopyWidth width);
