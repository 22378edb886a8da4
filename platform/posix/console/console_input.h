// What the console input buffer offers the terminal's reading loop: the queue
// to put decoded keys in, the terminal to read them from and the input mode
// that says how.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/posix/standin_testing.h"
#include "platform/posix/win32/win32_types.h"

namespace standin {

// Appends records to the console input buffer, as typed. Returns the number
// of the first: records are numbered in the order they were ever appended.
std::uint64_t QueueInput(const INPUT_RECORD *records, std::size_t count);
// The number of the record at the head: every record numbered lower has
// been taken out of the input buffer.
std::uint64_t InputHead();
bool InputQueued();
// The terminal's keyboard side, in raw mode while the console is in use; -1 when none.
int TerminalInputFd();
// The console's input mode, as last set with SetConsoleMode.
DWORD InputMode();

// What ReadConsoleInputA does in place of its work, for the stand-in's test
// interface: a console that refuses the removal, or one that reports a
// removal of nothing, which no handle can be made to do on purpose. The next
// count calls fail so; then they work again.
void FaultConsoleReads(StandinReadFault fault, std::uint32_t count);
// Calls of ReadConsoleInputA so far, in the whole process.
std::uint64_t ConsoleReadCalls();

}  // namespace standin
