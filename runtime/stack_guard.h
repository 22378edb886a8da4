// The stack guard that protected frames check: seeded once per process at the
// module's entry point, before any protected frame is entered.
#pragma once

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
// Sets the guard from values that differ from process to process. Called
// first thing at the entry point; a second call changes nothing.
void SeedStackGuard();
#else
// Builds on a C run-time: the run-time owns and seeds the guard.
inline void SeedStackGuard() {}
#endif
