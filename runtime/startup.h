// Each module's record of what its start-up captured, and the one-time set-up
// of the module's run-time state.
#pragma once

#include <cstdint>

#include "platform/windows.h"

// The start reason on which InitialiseRuntime does its work: the program's
// start, and the library's process attach (DLL_PROCESS_ATTACH, also 1).
constexpr std::uint32_t kStartReasonProcessStart = 1;

struct StartupRecord {
    std::uint32_t startReason;  // the program: kStartReasonProcessStart; the library: the latest loader reason
    std::uint32_t showCommand;  // the program's window show command
    const char *commandTail;    // the program's command line past its name; not a copy
    HMODULE moduleHandle;       // the program's own module
    DWORD threadSlot;           // the library's thread-local index for thread records
    std::uint16_t attachResult; // the library: 1 once a process attach has succeeded
};

// The module's own record: all zero when the module is loaded.
extern StartupRecord Startup;

// Sets the module's run-time state, only when record.startReason is
// kStartReasonProcessStart: the string module's empty data, the module's own
// state, and the floating-point control word of the calling thread.
void InitialiseRuntime(const StartupRecord &record);
