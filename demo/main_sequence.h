// The program's own main function: clear, beep, capitalise the sentence
// through the library, print it, wait for a key, beep, return 0.
#pragma once

#include <cstdint>

#include "platform/windows.h"

std::int32_t Main(HMODULE module, std::int32_t unused, const char *commandTail, std::uint32_t showCommand);

// The system's default sound; its result is of no interest.
void Beep();
