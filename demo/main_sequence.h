// The program's own main function: clear, beep, capitalise the sentence
// through the library, print it, wait for a key, beep, return 0.
#pragma once

#include <cstdint>

#include "platform/windows.h"

// Start-up passes what the process was given, as every Windows program's
// main receives it; previousInstance is always 0 on this system, and this
// main reads none of the four.
std::int32_t Main(HMODULE module, std::int32_t previousInstance, const char *commandTail, std::uint32_t showCommand);

// The system's default sound; its result is of no interest.
void Beep();
