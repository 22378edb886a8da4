// What start-up reads from the process: the command line past the program's
// name, and the window show command.
#pragma once

#include <cstdint>

#include "platform/windows.h"

// The position in a zero-terminated command line just past the program's
// name and the spaces after it. Only the space separates; a quoted name ends
// at the next quote, or at the end when it is never closed.
const char *SkipProgramName(const char *commandLine);

// The show command the process was started with: wShowWindow when the
// start-up information says it is set, otherwise SW_SHOWDEFAULT (10).
std::uint32_t ShowCommandOf(const STARTUPINFOA &info);
