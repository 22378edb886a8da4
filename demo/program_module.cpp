// The program's own steps in the shared run-time: run-time errors stay in
// their frames, and start-up sets the console state.
#include "demo/console.h"
#include "runtime/module_hooks.h"

void OnRuntimeError(std::uint32_t) {}

void InitialiseModuleState() {
    InitialiseConsoleState();
}
