// The console input's reading loop, as the input functions call it, and the
// console's signal keys, typed or written.
#pragma once

#include "platform/posix/win32/win32_types.h"

namespace standin {

// Whether a key record is Ctrl+C: the character 3 from the main keyboard.
// A 3 that carries ENHANCED_KEY is not Ctrl+C (Ctrl+Break gives one).
bool IsCtrlC(const INPUT_RECORD &record);
// Delivers a signal key, Ctrl+C typed or written with processed input on, as
// the terminal's own line discipline does: to the terminal's foreground
// process group, as a Windows console gives Ctrl+C to every process on it;
// to this process when the console has no terminal.
void SendSignalKey(int signal);

// Reads what the terminal has, decodes it and queues it; never waits long.
// Called by the input functions, without the console's lock, before they look.
void PumpTerminalInput();

}  // namespace standin
