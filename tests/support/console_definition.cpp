// The program's console state, for test programs that link the program's
// console code without the program's own definition of it.
#include "demo/console_state.h"

ConsoleState Console;
