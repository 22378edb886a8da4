// What the stand-in's console offers its own terminal reading loop: the queue
// to put decoded keys in, the terminal to read them from, the input mode that
// says how, and the hook that the input functions call before looking.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/posix/win32_types.h"

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
// Reads what the terminal has, decodes it and queues it; never waits long.
// Called by the input functions, without the console's lock, before they look.
void PumpTerminalInput();
// Draws the active buffer again when the terminal changed size or was drawn
// on by others while the process was stopped; cheap when neither happened.
// Takes the console's lock.
void RedrawIfDisturbed();
// Gives the user's terminal back its own settings; idempotent, and safe in a
// signal handler. Done at exit and on ending signals by itself; a process
// that ends without exit() (an _exit, say) calls this first.
void RestoreTerminal();

}  // namespace standin
