// The stand-in's test interface, each entry handed to the part that owns
// what it reads or switches.
#include "platform/posix/standin_testing.h"

#include "platform/posix/console/console_input.h"
#include "platform/posix/loader/loader.h"
#include "platform/posix/loader/thread_slots.h"
#include "platform/posix/process/process_readings.h"
#include "platform/posix/terminal/terminal.h"

int32_t StandinOleInitializeDepth(void) { return standin::OleInitializeDepth(); }

int64_t StandinLiveGlobalBlocks(void) { return standin::LiveGlobalBlocks(); }

int64_t StandinThreadNotifications(uint32_t reason) { return standin::ThreadNotifications(reason); }

uint64_t StandinConsoleReadCalls(void) { return standin::ConsoleReadCalls(); }

void StandinFailGlobalAlloc(int fail) { standin::FailGlobalAlloc(fail != 0); }

void StandinLimitThreadSlots(uint32_t count) { standin::LimitThreadSlots(count); }

void StandinFaultConsoleReads(StandinReadFault fault, uint32_t count) { standin::FaultConsoleReads(fault, count); }

void StandinUseHeadlessConsole(void) { standin::UseHeadlessConsole(); }
