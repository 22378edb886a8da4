// The console input's reading loop, as the input functions call it.
#pragma once

namespace standin {

// Reads what the terminal has, decodes it and queues it; never waits long.
// Called by the input functions, without the console's lock, before they look.
void PumpTerminalInput();

}  // namespace standin
