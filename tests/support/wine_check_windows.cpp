// On Windows builds: Wine is told apart by the export its ntdll has and
// Windows' has not.
#include "platform/windows.h"
#include "tests/support/wine_departures.h"

bool RunningOnWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}
