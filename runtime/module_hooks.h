// What each module adds to the shared run-time. The library and the program
// each define these once; the test build defines its own.
#pragma once

#include <cstdint>

// Called by RaiseRuntimeError after the frame's error word is set. The library
// copies the word into the calling thread's record; the program does nothing.
void OnRuntimeError(std::uint32_t errorWord);

// The module's own part of InitialiseRuntime: the program's console state;
// nothing in the library.
void InitialiseModuleState();
