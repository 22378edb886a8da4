// The program's entry point: set up the console, capture what the process
// was given, initialise the run-time, run main once and end the process with
// its result. Nothing runs between main's return and the end.
#include "demo/command_line.h"
#include "demo/console.h"
#include "demo/main_sequence.h"
#include "runtime/stack_guard.h"
#include "runtime/startup.h"

extern "C" DECLSPEC_NORETURN UNPROTECTED_FRAME void WINAPI ProgramEntry() {
    SeedStackGuard();
    SetUpConsole();
    Startup.startReason = kStartReasonProcessStart;

    STARTUPINFOA info{};
    info.cb = sizeof info;
    GetStartupInfoA(&info);
    Startup.showCommand = ShowCommandOf(info);
    Startup.commandTail = SkipProgramName(GetCommandLineA());
    Startup.moduleHandle = GetModuleHandleA(nullptr);

    InitialiseRuntime(Startup);

    std::int32_t result = Main(Startup.moduleHandle, 0, Startup.commandTail, Startup.showCommand);
    ExitProcess(static_cast<UINT>(result));
}
