// The terminal's reading loop. For now no keys are read from the terminal:
// the input buffer holds what WriteConsoleInputA puts there.
#include "platform/posix/console_internal.h"

namespace standin {

void PumpTerminalInput() {}

}  // namespace standin
