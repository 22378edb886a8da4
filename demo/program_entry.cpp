// The program's entry point: set up the console, capture what the process
// was given, initialise the run-time, run main once and end the process with
// its result. Nothing runs between main's return and the end.
#include "demo/command_line.h"
#include "demo/console.h"
#include "demo/main_sequence.h"
#include "runtime/stack_guard.h"
#include "runtime/startup.h"

namespace {

// What the program's start-up captured.
struct ProgramStartup {
    std::uint32_t showCommand;  // the window show command
    const char *commandTail;    // the command line past the program's name; not a copy
    HMODULE moduleHandle;       // the program's own module
};

ProgramStartup ProgramStart;

}  // namespace

extern "C" DECLSPEC_NORETURN UNPROTECTED_FRAME void WINAPI ProgramEntry() {
    SeedStackGuard();
    SetUpConsole();
    STARTUPINFOA info{};
    info.cb = sizeof info;
    GetStartupInfoA(&info);
    ProgramStart.showCommand = ShowCommandOf(info);
    ProgramStart.commandTail = SkipProgramName(GetCommandLineA());
    ProgramStart.moduleHandle = GetModuleHandleA(nullptr);

    InitialiseRuntime(kStartReasonProcessStart);

    std::int32_t result = Main(ProgramStart.moduleHandle, 0, ProgramStart.commandTail, ProgramStart.showCommand);
    ExitProcess(static_cast<UINT>(result));
}
