// The one-time set-up of a module's run-time state. What each module's
// start-up captures is its own: the program's in demo/program_entry.cpp, the
// library's in library/library_entry.h.
#pragma once

#include <cstdint>

// The start reason on which InitialiseRuntime does its work: the program's
// start, and the library's process attach (DLL_PROCESS_ATTACH, also 1).
constexpr std::uint32_t kStartReasonProcessStart = 1;

// Sets the module's run-time state, only when startReason is
// kStartReasonProcessStart: the string module's empty data, the module's own
// state, and the floating-point control word of the calling thread.
void InitialiseRuntime(std::uint32_t startReason);
