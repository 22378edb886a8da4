// Per-thread records of the library, reached through the thread-local slot
// that the process attach obtains. Each thread touches only its own record;
// the list of them all is for an unload, which releases every one.
#pragma once

#include <cstdint>

#include "platform/windows.h"

// A zero-filled block of 40 bytes from GlobalAlloc. The library's code uses
// its second word; two more link it into the library's list of live records.
struct ThreadRecord {
    std::uint32_t reserved0;
    std::uint32_t lastError;  // the latest error word raised on this thread, 0 when none
    ThreadRecord *next;       // the list of live records: null at either end
    ThreadRecord *previous;
    std::uint8_t reserved[32 - 2 * sizeof(void *)];
};
static_assert(sizeof(ThreadRecord) == 40, "a thread record is 40 bytes");

// The calling thread's record, created when missing; null when memory cannot be had.
ThreadRecord *GetThreadRecord();
// Frees the calling thread's record if it has one. False only when the release fails.
bool ReleaseThreadRecord();
// Frees the calling thread's record and, when the library is being unloaded
// from a process that goes on, those of every other thread too: a thread
// that outlives the library gets no detach that could free its own. At the
// process's end the other threads are gone and nothing more is done. False
// when a release fails; that record stays.
bool ReleaseThreadRecords(bool unloading);
// Copies a raised error word into the calling thread's record, when one can be had.
void RecordThreadError(std::uint32_t errorWord);
