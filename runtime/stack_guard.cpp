// The stack guard of the Windows deliverables, which link no C run-time: its
// seeding where the loader has left it at the default value, and the routine
// that ends the process when a frame finds its copy overwritten, which is
// also the deliverables' one fast fail. The guard itself is the load
// configuration's cookie (runtime/load_config.cpp).
#include "runtime/stack_guard.h"

#include <cstdint>

#include "platform/windows.h"
#include "runtime/fast_fail.h"

namespace {

// A bijective mix, so that values which differ in a few bits give guards that
// differ in about half of them.
std::uint64_t Mix(std::uint64_t value) {
    value ^= value >> 30;
    value *= 0xBF58476D1CE4E5B9ull;
    value ^= value >> 27;
    value *= 0x94D049BB133111EBull;
    value ^= value >> 31;
    return value;
}

}  // namespace

extern "C" {

// The compiler's name for the guard; protected frames read it through it.
extern std::uintptr_t __stack_chk_guard;

// Reached from a frame whose copy of the guard no longer matches: the stack
// is not to be trusted, so no handler of the process may run.
[[noreturn]] UNPROTECTED_FRAME void __stack_chk_fail() { FailFast(kFastFailStackCookie); }

}  // extern "C"

// A fast fail where the system has one (no handler, straight to error
// reporting), and terminating the process otherwise; both leave the status
// of a stack buffer overrun, which Windows gives every fast fail.
[[noreturn]] UNPROTECTED_FRAME void FailFast(unsigned code) {
    constexpr DWORD kFastFailAvailable = 23;  // PF_FASTFAIL_AVAILABLE
    if (IsProcessorFeaturePresent(kFastFailAvailable)) __asm__ volatile("int $0x29" : : "c"(code));
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(0xC0000409));  // STATUS_STACK_BUFFER_OVERRUN
    __builtin_trap();
}

UNPROTECTED_FRAME void SeedStackGuard() {
    if (__stack_chk_guard != kDefaultStackGuard) return;
    // Time to the tick and to the counter's resolution, the process and
    // thread, and where ASLR placed this stack and this module.
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    std::uint64_t value = Mix(static_cast<std::uint64_t>(counter.QuadPart));
    value = Mix(value ^ ((static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime));
    value = Mix(value ^ ((static_cast<std::uint64_t>(GetCurrentProcessId()) << 32) | GetCurrentThreadId()));
    value = Mix(value ^ reinterpret_cast<std::uintptr_t>(&counter));
    value = Mix(value ^ reinterpret_cast<std::uintptr_t>(&__stack_chk_guard));
    // A 32-bit guard keeps what the upper half of the mix holds too.
    auto guard = static_cast<std::uintptr_t>(sizeof(std::uintptr_t) == 4 ? value ^ (value >> 32) : value);
    if (guard == kDefaultStackGuard || guard == 0) guard = ~kDefaultStackGuard;
    __stack_chk_guard = guard;
}
