// The stack guard that protected frames check: the load configuration's
// security cookie, seeded by the loader before the module's entry point runs,
// or by the entry point where a loader has not.
#pragma once

#include <cstdint>

// The entry points and the seeding run before the guard holds its final
// value, so they must carry no check of their own.
#if defined(__has_attribute)
#if __has_attribute(no_stack_protector)
#define UNPROTECTED_FRAME __attribute__((no_stack_protector, noinline))
#endif
#endif
#ifndef UNPROTECTED_FRAME
#define UNPROTECTED_FRAME __attribute__((noinline))
#endif

#if defined(VELMORIN_OWN_STACK_GUARD)
// The value the loader takes for a cookie not yet seeded, and replaces.
constexpr std::uintptr_t kDefaultStackGuard =
    sizeof(std::uintptr_t) == 8 ? static_cast<std::uintptr_t>(0x00002B992DDFA232ull) : 0xBB40E64Eu;

// Sets the guard from values that differ from process to process if it still
// holds the default value. Called first thing at the entry point.
void SeedStackGuard();
#else
// Builds on a C run-time: the run-time owns and seeds the guard.
inline void SeedStackGuard() {}
#endif
