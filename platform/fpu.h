// The floating-point set-up of a thread: every exception masked, rounding to
// nearest, and on x87 64-bit (extended) precision.
#pragma once

#include <cstdint>

// x87 control word: all six exceptions masked (0x3F), 64-bit precision
// (0x300), round to nearest (0), affine infinity bit (0x1000).
constexpr std::uint16_t kX87ControlWord = 0x133F;
// SSE: all exceptions masked, round to nearest, no flush-to-zero.
constexpr std::uint32_t kMxcsr = 0x1F80;

inline void SetFloatingPointControl() {
#if defined(__i386__) || defined(__x86_64__)
    std::uint16_t control = kX87ControlWord;
    __asm__ volatile("fldcw %0" : : "m"(control));
#endif
#if defined(__SSE__) || defined(__x86_64__)
    std::uint32_t mxcsr = kMxcsr;
    __asm__ volatile("ldmxcsr %0" : : "m"(mxcsr));
#endif
#if defined(__aarch64__)
    // FPCR: no trap enables, round to nearest.
    std::uint64_t fpcr = 0;
    __asm__ volatile("msr fpcr, %0" : : "r"(fpcr));
#endif
}

inline std::uint16_t X87ControlWord() {
    std::uint16_t control = 0;
#if defined(__i386__) || defined(__x86_64__)
    __asm__ volatile("fnstcw %0" : "=m"(control));
#endif
    return control;
}
