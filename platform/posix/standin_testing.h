// The stand-in's test interface: the one way for a test to read the
// stand-in's inner state or make it fail. Tests that use it run on the
// stand-in alone; on Windows there is nothing to read or to switch. The
// shipped programs never call it. The product's own allocations fail through
// its link-time allocator seam instead (runtime/allocator.h).
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define STANDIN_TESTING_API __attribute__((visibility("default")))

/* Readings. */
/* How many OleInitialize calls of the calling thread are not yet undone. */
STANDIN_TESTING_API int32_t StandinOleInitializeDepth(void);
/* Blocks from GlobalAlloc not yet given back, in the whole process. */
STANDIN_TESTING_API int64_t StandinLiveGlobalBlocks(void);
/* Thread attach (DLL_THREAD_ATTACH, 2) or detach (3) notifications delivered
 * so far, in the whole process. */
STANDIN_TESTING_API int64_t StandinThreadNotifications(uint32_t reason);
/* Calls of ReadConsoleInputA so far, in the whole process. */
STANDIN_TESTING_API uint64_t StandinConsoleReadCalls(void);

/* Faults. */
/* Makes every GlobalAlloc fail (nonzero) or work again (0). */
STANDIN_TESTING_API void StandinFailGlobalAlloc(int fail);
/* Lets TlsAlloc hand out at most count indexes from now on; 0 makes every
 * library's process attach that needs one fail. A program that wants its
 * load-time libraries to meet the limit calls this before their attach, from
 * its own pre-initialisation (.preinit_array). */
STANDIN_TESTING_API void StandinLimitThreadSlots(uint32_t count);
/* The next count calls of ReadConsoleInputA fail without touching the input:
 * STANDIN_READ_REFUSED returns FALSE with ERROR_INVALID_HANDLE,
 * STANDIN_READ_REMOVES_NOTHING returns TRUE with 0 records read;
 * STANDIN_READ_WORKS ends the fault at once. */
enum StandinReadFault { STANDIN_READ_WORKS = 0, STANDIN_READ_REFUSED = 1, STANDIN_READ_REMOVES_NOTHING = 2 };
STANDIN_TESTING_API void StandinFaultConsoleReads(enum StandinReadFault fault, uint32_t count);

/* Set-up. */
/* Gives the process a console without a terminal, whatever terminal it has:
 * keys come only from WriteConsoleInputA and nothing is drawn. Call before
 * the console's first use. */
STANDIN_TESTING_API void StandinUseHeadlessConsole(void);

#ifdef __cplusplus
}
#endif
