// The library's entry point, called by the system loader with one
// notification at a time: process attach and detach, thread attach and detach.
#pragma once

#include <cstdint>

#include "platform/windows.h"

extern "C" BOOL WINAPI LibraryEntry(HINSTANCE module, DWORD reason, LPVOID reserved);

// What the library's entry point keeps: all zero when the library is loaded.
struct LibraryStartup {
    std::uint32_t startReason;   // the latest loader reason
    DWORD threadSlot;            // the thread-local index for thread records
    std::uint16_t attachResult;  // 1 once a process attach has succeeded
};

extern LibraryStartup LibraryStart;
