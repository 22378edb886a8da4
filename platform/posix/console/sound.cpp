// MessageBeep for the stand-in: the console's terminal rings its bell. A
// process whose console has no terminal makes no sound, and says so.
#include "platform/posix/console/console_core.h"
#include "platform/posix/terminal/terminal.h"
#include "platform/posix/win32/win32_api.h"

STANDIN_API BOOL MessageBeep(UINT) {
    using namespace standin;
    BOOL hasTerminal = OnConsole(FALSE, [](ConsoleCore &console) {
        return console.terminal.display >= 0 ? TRUE : Fail(ERROR_INVALID_HANDLE);
    });
    if (hasTerminal) WriteTerminal("\a");
    return hasTerminal;
}
