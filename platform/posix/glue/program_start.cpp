// Linked into the program on the stand-in: the C start-up hands over to the
// program's own entry point, which never returns.
#include "platform/posix/process/process_start.h"
#include "platform/windows.h"

extern "C" DECLSPEC_NORETURN void WINAPI ProgramEntry();

int main(int argc, char **argv) {
    StandinProcessStarting(argc, argv);
    ProgramEntry();
}
