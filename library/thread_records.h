// Per-thread records of the library, reached through the thread-local slot
// that the process attach obtains. Each thread touches only its own record.
#pragma once

#include <cstdint>

#include "platform/windows.h"

// A zero-filled block of 40 bytes from GlobalAlloc; the library uses only
// its second word.
struct ThreadRecord {
    std::uint32_t reserved0;
    std::uint32_t lastError;  // the latest error word raised on this thread, 0 when none
    std::uint32_t reserved[8];
};
static_assert(sizeof(ThreadRecord) == 40, "a thread record is 40 bytes");

// The calling thread's record, created when missing; null when memory cannot be had.
ThreadRecord *GetThreadRecord();
// Frees the calling thread's record if it has one. False only when the release fails.
bool ReleaseThreadRecord();
// Copies a raised error word into the calling thread's record, when one can be had.
void RecordThreadError(std::uint32_t errorWord);
