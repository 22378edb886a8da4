// MessageBeep for the stand-in: the console's terminal rings its bell. A
// process whose console has no terminal makes no sound, and says so.
#include "platform/posix/console/console_core.h"
#include "platform/posix/terminal/terminal.h"
#include "platform/posix/win32/win32_api.h"

STANDIN_API BOOL MessageBeep(UINT) {
    standin::ConsoleCore &console = standin::TheConsole();
    bool hasTerminal;
    {
        std::lock_guard<std::mutex> guard(console.lock);
        hasTerminal = console.terminal.display >= 0;
    }
    if (!hasTerminal) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    standin::WriteTerminal("\a");
    return TRUE;
}
