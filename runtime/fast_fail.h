// Ending the process at once when the system's own code finds its state
// broken, so that no handler of the process runs on it. The Windows
// deliverables end as a frame with an overwritten stack guard does
// (runtime/stack_guard.cpp); builds on a C run-time trap.
#pragma once

constexpr unsigned kFastFailStackCookie = 2;  // FAST_FAIL_STACK_COOKIE_CHECK_FAILURE
constexpr unsigned kFastFailRangeCheck = 8;   // FAST_FAIL_RANGE_CHECK_FAILURE

#if defined(VELMORIN_OWN_STACK_GUARD)
[[noreturn]] void FailFast(unsigned code);
#else
[[noreturn]] inline void FailFast(unsigned) { __builtin_trap(); }
#endif
